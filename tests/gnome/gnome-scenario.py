#!/usr/bin/python3
"""The program on GNOME 43's Wayland session (run by gnome-capture.sh, inside
the stack it starts), first as a Wayland client, then through Xwayland.
Checks, as a person would see them:
  1. the tray icon is in the top bar and a click opens its menu;
  2. the custom shortcut, pressed with a word selected in another
     application, opens the overlay full screen (over the top bar), focused,
     holding the word;
  3. Escape closes it; Alt+Tab away then the shortcut brings it back in
     front; Alt+F4 closes it and the shortcut opens it again.
What is on screen is read from the shell itself (its window list, focus and
full-screen state) and from the accessibility tree; keys and clicks come from
one remote-desktop session of mutter, as from a keyboard and a mouse."""
import json
import os
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
gi.require_version("Gio", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

BUILD = os.environ["VOCARTA_BUILD_DIR"]
WORK = os.environ["VOCARTA_GNOME_WORK"]
PROGRAM = "vocarta-menubar"
OVERLAY = "Add card"
TEXT_APP = "Text app"
WIDTH, HEIGHT = 1920, 1080
KEYSYM = {"ctrl": 0xFFE3, "alt": 0xFFE9, "shift": 0xFFE1, "esc": 0xFF1B, "tab": 0xFF09, "f4": 0xFFC1, "k": 0x6B}
WAYLAND, X11 = 0, 1  # the shell's client types
LIMIT = 30

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
children = []


class Failure(Exception):
    pass


def say(text):
    print(f"[gnome] {text}", flush=True)


def wait_for(what, condition, limit=LIMIT):
    deadline = time.monotonic() + limit
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"no {what} within {limit} s")
        time.sleep(0.05)


def call(destination, path, interface, method, arguments=None, reply=None):
    return bus.call_sync(destination, path, interface, method, arguments,
                         GLib.VariantType(reply) if reply else None, Gio.DBusCallFlags.NONE, 20000, None)


def shell(js):
    """A JavaScript expression evaluated in the shell (unsafe mode), as a Python value."""
    ok, out = call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "Eval", GLib.Variant("(s)", (js,)),
                   "(bs)").unpack()
    if not ok:
        raise Failure(f"the shell could not evaluate {js!r}: {out}")
    return json.loads(out) if out else None


FOCUS = """(w => w && { title: w.get_title(), fullscreen: w.is_fullscreen(), client: w.get_client_type(),
  rect: (r => [r.x, r.y, r.width, r.height])(w.get_frame_rect()),
  coversPanel: Main.layoutManager.primaryMonitor.inFullscreen && !Main.panel.mapped })(global.display.focus_window)"""


def focus():
    return shell(FOCUS) or {}


def on_screen(title):
    return shell(f"global.get_window_actors().filter(a => a.meta_window.get_title() === {json.dumps(title)}).length")


class Input:
    """One remote-desktop session for the whole run: the headless seat has no
    keyboard, and each new session's virtual keyboard would swallow its first
    key and take the focus away when it ends."""

    RD = "org.gnome.Mutter.RemoteDesktop"

    def __init__(self):
        self.session = call(self.RD, "/org/gnome/Mutter/RemoteDesktop", self.RD, "CreateSession", None,
                            "(o)").unpack()[0]
        self._session("Start")
        self._key(KEYSYM["shift"], True)
        self._key(KEYSYM["shift"], False)

    def _session(self, method, arguments=None):
        call(self.RD, self.session, self.RD + ".Session", method, arguments)

    def _key(self, keysym, down):
        self._session("NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym, down)))

    def press(self, *keys):
        for key in keys:
            self._key(KEYSYM[key], True)
        for key in reversed(keys):
            self._key(KEYSYM[key], False)

    def click(self, x, y):
        for _ in range(10):
            px, py, _mods = shell("global.get_pointer()")
            if abs(px - x) < 1 and abs(py - y) < 1:
                break
            self._session("NotifyPointerMotionRelative", GLib.Variant("(dd)", (x - px, y - py)))
        self._session("NotifyPointerButton", GLib.Variant("(ib)", (272, True)))
        self._session("NotifyPointerButton", GLib.Variant("(ib)", (272, False)))

    def stop(self):
        self._session("Stop")


# ---- the accessibility tree ----

def find(app_name, predicate):
    """The first showing accessible of the application that `predicate` accepts."""
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is None or app.get_name() != app_name:
                continue
            app.clear_cache()
        except GLib.Error:
            continue
        pending = [app]
        while pending:
            node = pending.pop(0)
            if node is None:
                continue
            try:
                if node is not app and node.get_state_set().contains(Atspi.StateType.SHOWING) and predicate(node):
                    return node
                pending.extend(node.get_child_at_index(j) for j in range(node.get_child_count()))
            except GLib.Error:
                continue
    return None


def field_text():
    field = find(PROGRAM, lambda n: n.get_name() == "Word or phrase")
    return Atspi.Text.get_text(field, 0, -1) if field is not None else None


# ---- the scenario ----

def start(name, arguments, **environment):
    log = open(os.path.join(WORK, f"{name}.log"), "w")
    process = subprocess.Popen(arguments, stdout=log, stderr=subprocess.STDOUT, env=dict(os.environ, **environment))
    children.append(process)
    return process


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(20)
    children.remove(process)


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
    keys.click(x + w / 2, y + h / 2)
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
    # that nothing answers.
    program = start(f"{PROGRAM}-{platform}", [os.path.join(bin_dir, PROGRAM)], QT_QPA_PLATFORM=platform,
                    VOCARTA_DEPLOYMENT_URL="http://127.0.0.1:9/")
    items = tray_menu(keys)
    say(f"{platform}: the tray icon is in the top bar; a click opens its menu: {items}")

    text_app = start("text-app", [os.path.join(bin_dir, "selection_app"), "--title", TEXT_APP, "--text",
                                  "My friend reads a book every evening", "--select", "3,9"],
                     QT_QPA_PLATFORM="wayland", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    text_app_in_front()

    keys.press("ctrl", "alt", "k")
    overlay_in_front(client, "friend")
    say(f"{platform}: Ctrl+Alt+K opens the overlay full screen over the top bar, focused, holding \"friend\"")

    keys.press("esc")
    wait_for("overlay gone after Escape", lambda: on_screen(OVERLAY) == 0)
    text_app_in_front()

    keys.press("ctrl", "alt", "k")
    overlay_in_front(client, "friend")
    keys.press("alt", "tab")
    wait_for("another window in front after Alt+Tab", lambda: focus().get("title") not in (None, OVERLAY))
    keys.press("ctrl", "alt", "k")
    overlay_in_front(client)
    say(f"{platform}: Escape closes it; after Alt+Tab away the shortcut brings it back in front")

    keys.press("alt", "f4")
    wait_for("overlay gone after Alt+F4", lambda: on_screen(OVERLAY) == 0)
    text_app_in_front()
    keys.press("ctrl", "alt", "k")
    overlay_in_front(client, "friend")
    keys.press("esc")
    wait_for("overlay gone", lambda: on_screen(OVERLAY) == 0)
    say(f"{platform}: after Alt+F4 the shortcut opens it again")

    if program.poll() is not None:
        raise Failure(f"the program ended early ({program.returncode})")
    stop(text_app)
    stop(program)


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
    finally:
        keys.stop()


def main():
    try:
        scenario()
        say("PASS")
        return 0
    except (Failure, subprocess.SubprocessError, GLib.Error) as error:
        say(f"FAILED: {error}")
        return 1
    finally:
        for process in reversed(list(children)):
            stop(process)


if __name__ == "__main__":
    sys.exit(main())
