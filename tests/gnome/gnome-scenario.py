#!/usr/bin/python3
"""The program on GNOME 43's Wayland session (run by gnome-capture.sh, inside
the stack it starts), first as a Wayland client, then through Xwayland.
Checks, as a person would see them:
  1. the tray icon is in the top bar and a click opens its menu;
  2. the custom shortcut, pressed with a word selected in another
     application, opens the overlay full screen (over the top bar), focused,
     holding the word;
  3. Escape closes it; Alt+Tab away then the shortcut brings it back in
     front; Alt+F4 closes it and the shortcut opens it again;
  4. words selected in a web page (Firefox, a Wayland client) reach the
     overlay's field: the reader suite's rows.
What is on screen is read from the shell itself (its window list, focus and
full-screen state) and from the accessibility tree; keys and clicks come from
one remote-desktop session of mutter, as from a keyboard and a mouse."""
import glob
import os
import re
import shutil
import sys

from gnome_session import (OVERLAY, PROGRAM, WAYLAND, X11, Failure, Input, field_text, focus, on_screen,
                           press_in_overlay, run, say, shell, start, start_text_app, stop, wait_for)

BUILD = os.environ["VOCARTA_BUILD_DIR"]
TEXT_APP = "Text app"
READERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "readers")
WIDTH, HEIGHT = 1920, 1080


# ---- the scenario ----

TRAY = "Object.entries(Main.panel.statusArea).find(([k]) => k.startsWith('appindicator-'))?.[1]"


def tray_menu(keys):
    """The tray icon, once it is in the top bar with its menu, opens the menu on a click."""
    wait_for("tray icon with its menu", lambda: shell(f"(a => !!(a && a.mapped && a.menu.numMenuItems > 0))({TRAY})"))
    where = [None]

    def settled():
        # The panel lays its icons out again as others come and go.
        now = shell(f"(a => [...a.get_transformed_position(), ...a.get_transformed_size()])({TRAY})")
        steady = now == where[0]
        where[0] = now
        return now if steady else None

    x, y, w, h = wait_for("tray icon in place", settled)
    # A click while the panel still settles can miss: clicked again, bounded,
    # only while the menu stays closed.
    for _ in range(10):
        keys.click(x + w / 2, y + h / 2)
        try:
            wait_for("tray menu open", lambda: shell(f"{TRAY}.menu.isOpen"), limit=3)
            break
        except Failure:
            x, y, w, h = wait_for("tray icon in place", settled)
    wait_for("tray menu open", lambda: shell(f"{TRAY}.menu.isOpen"))
    items = shell(f"{TRAY}.menu._getMenuItems().map(i => i.label ? i.label.text : '-')")
    if "Quit Vocarta Menubar" not in items:
        raise Failure(f"the tray menu holds {items}")
    keys.press("esc")
    wait_for("tray menu closed", lambda: not shell(f"{TRAY}.menu.isOpen"))
    return items


def overlay_in_front(client, word=None):
    """The overlay is the focused window, full screen over the top bar, with `word` in its field."""
    def check():
        now = focus()
        return (now.get("title") == OVERLAY and now.get("fullscreen") and now.get("client") == client
                and now.get("rect") == [0, 0, WIDTH, HEIGHT] and now.get("coversPanel")
                and (word is None or field_text() == word))
    try:
        wait_for("full-screen focused overlay" + (f" holding {word!r}" if word else ""), check)
    except Failure as failure:
        raise Failure(f"{failure}; focus window {focus()}, field {field_text()!r}")


def text_app_in_front():
    wait_for("the text application in front", lambda: focus().get("title") == TEXT_APP)


def round_trip(keys, platform, client):
    bin_dir = os.path.join(BUILD, "bin")
    # Signed out: the shortcut needs no deployment, so an address on loopback
    # that nothing answers. Started as at login, so that no sign-in window
    # comes up later and takes the focus from the text application.
    program = start(f"{PROGRAM}-{platform}", [os.path.join(bin_dir, PROGRAM), "--autostart"],
                    QT_QPA_PLATFORM=platform, QT_LOGGING_RULES="vocarta.timing.debug=true",
                    VOCARTA_DEPLOYMENT_URL="http://127.0.0.1:9/")
    items = tray_menu(keys)
    say(f"{platform}: the tray icon is in the top bar; a click opens its menu: {items}")

    text_app = start_text_app(bin_dir, TEXT_APP, QT_QPA_PLATFORM="wayland")
    text_app_in_front()

    keys.press("ctrl", "alt", "k")
    overlay_in_front(client, "friend")
    say(f"{platform}: Ctrl+Alt+K opens the overlay full screen over the top bar, focused, holding \"friend\"")

    press_in_overlay(keys, "overlay gone after Escape", lambda: on_screen(OVERLAY) == 0, "esc")
    text_app_in_front()

    keys.press("ctrl", "alt", "k")
    overlay_in_front(client, "friend")
    press_in_overlay(keys, "another window in front after Alt+Tab",
                     lambda: focus().get("title") not in (None, OVERLAY), "alt", "tab")
    keys.press("ctrl", "alt", "k")
    overlay_in_front(client)
    say(f"{platform}: Escape closes it; after Alt+Tab away the shortcut brings it back in front")

    press_in_overlay(keys, "overlay gone after Alt+F4", lambda: on_screen(OVERLAY) == 0, "alt", "f4")
    text_app_in_front()
    keys.press("ctrl", "alt", "k")
    overlay_in_front(client, "friend")
    press_in_overlay(keys, "overlay gone", lambda: on_screen(OVERLAY) == 0, "esc")
    say(f"{platform}: after Alt+F4 the shortcut opens it again")

    if program.poll() is not None:
        raise Failure(f"the program ended early ({program.returncode})")
    stop(text_app)
    stop(program)
    wait_for("tray icon gone", lambda: not shell(f"!!{TRAY}"))


def reader_rows(keys):
    """The reader suite's table (tests/readers/reader-rows.sh): each case
    selected in the page, the shortcut, the case's word in the overlay."""
    with open(os.path.join(READERS, "reader-rows.sh")) as table:
        rows = re.findall(r'^  "(\w+)\|(\d)\|([^"|]+)"$', table.read(), re.MULTILINE)
    if not rows:
        raise Failure("no rows in the reader suite's table")
    bin_dir = os.path.join(BUILD, "bin")
    program = start(f"{PROGRAM}-reader", [os.path.join(bin_dir, PROGRAM), "--autostart"],
                    QT_QPA_PLATFORM="wayland", VOCARTA_DEPLOYMENT_URL="http://127.0.0.1:9/")
    wait_for("tray icon", lambda: shell(f"!!{TRAY}"))
    profile = os.path.join(os.environ["VOCARTA_GNOME_WORK"], "firefox-profile")
    os.makedirs(profile, exist_ok=True)
    shutil.copy(os.path.join(READERS, "firefox-user.js"), os.path.join(profile, "user.js"))
    page = "file://" + os.path.realpath(os.path.join(READERS, "page.html"))
    browser = start("firefox", ["firefox-esr", "--no-remote", "--profile", profile, page + "#paragraph"],
                    MOZ_ENABLE_WAYLAND="1")

    def page_in_front(title):
        wait_for(f"page titled {title!r} in front", lambda: (focus().get("title") or "").startswith(title), limit=90)

    page_in_front("Reader page: paragraph selected (1)")
    for selections, (name, key, word) in enumerate(rows, start=2):
        keys.press(key)
        page_in_front(f"Reader page: {name} selected ({selections})")
        keys.press("ctrl", "alt", "k")
        overlay_in_front(WAYLAND, word)
        press_in_overlay(keys, "overlay gone", lambda: on_screen(OVERLAY) == 0, "esc")
        say(f"firefox: the {name} case puts {word!r} into the overlay's field")
    stop(browser)
    stop(program)
    wait_for("tray icon gone", lambda: not shell(f"!!{TRAY}"))


def scenario():
    # The shell starts in the overview, where no window has the focus.
    shell("Main.overview.hide()")
    wait_for("gsd-media-keys' grab of Ctrl+Alt+K",
             # X keycode 45 is K; 4 | 8 are Control and Alt.
             lambda: shell("global.display.get_keybinding_action(45, 12)") not in (None, 0))
    keys = Input()
    try:
        round_trip(keys, "wayland", WAYLAND)
        round_trip(keys, "xcb", X11)
        if shutil.which("firefox-esr"):
            reader_rows(keys)
        elif os.environ.get("CI") == "true":
            raise Failure("firefox-esr is missing although scripts/setup installs it")
    finally:
        keys.stop()


def program_logs():
    """The last lines the program wrote in each round (its steps from each
    shortcut to the overlay shown among them), for the failure report."""
    parts = []
    for name in sorted(glob.glob(os.path.join(os.environ["VOCARTA_GNOME_WORK"], f"{PROGRAM}-*.log"))):
        with open(name, errors="replace") as log:
            parts.append(f"the last lines of {os.path.basename(name)}:\n" + "".join(log.readlines()[-30:]))
    return "\n".join(parts)


if __name__ == "__main__":
    sys.exit(run(scenario, report=program_logs))
