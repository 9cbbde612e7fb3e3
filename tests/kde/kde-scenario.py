#!/usr/bin/python3
"""The program on KDE Plasma's Wayland session, with its own portal (run by
kde-portal-test.sh, inside the stack it starts). Checks, as a person would
see them:
  1. the stored shortcut is registered: kglobalaccel shows Ctrl+Alt+K for us;
  2. Ctrl+Alt+K pressed on the keyboard opens the overlay with the word
     selected in another Wayland application;
  3. a trigger chosen in System Settings wins, and the recorder shows it;
  4. recording Ctrl+Alt+J moves the binding: Ctrl+Alt+J fires, the earlier
     keys do not.
Keys and clicks go through KWin's fake input; what is on screen is read from
the accessibility tree. Every wait is for a condition, with a time limit."""
import os
import subprocess
import sys

from desktop_session import (FIELD, LIMIT, OVERLAY, PROGRAM, Failure, Gio, GLib, active, bus, configure, dump,
                             extents, find, named, run, say, start, start_text_app, stop, text_of, wait_for)

BUILD = os.environ["VOCARTA_BUILD_DIR"]
FAKE_INPUT = os.environ["KDE_FAKE_INPUT"]
COMPONENT = "vocarta_menubar"  # the session token: a host program has no app id on portal 1.16
EVDEV = {"ctrl": 29, "alt": 56, "meta": 125, "esc": 1, "j": 36, "k": 37, "x": 45}
QT_META, QT_CTRL, QT_ALT, QT_SHIFT = 0x10000000, 0x04000000, 0x08000000, 0x02000000

configure("kde", os.environ["VOCARTA_KDE_WORK"], QT_QPA_PLATFORM="wayland")


def press(*keys):
    subprocess.run([FAKE_INPUT, "key", *[str(EVDEV[k]) for k in keys]], check=True, timeout=LIMIT)


def wait_settled(what, finder):
    """The accessible `finder` gives, once it has stopped moving (pages slide
    in): the same place at two polls a tenth of a second apart."""
    last = [None]

    def still():
        node = finder()
        where = extents(node) if node is not None else None
        settled = where is not None and where == last[0]
        last[0] = where
        return node if settled else None

    return wait_for(what, still, every=0.1)


def click(accessible):
    x, y, w, h = extents(accessible)
    subprocess.run([FAKE_INPUT, "click", str(x + w // 2), str(y + h // 2)], check=True, timeout=LIMIT)


# ---- kglobalaccel ----

def key_text(code):
    """A Qt key code as KDE shows it: 0x0C00004B is Ctrl+Alt+K."""
    parts = [n for bit, n in ((QT_META, "Meta"), (QT_CTRL, "Ctrl"), (QT_ALT, "Alt"), (QT_SHIFT, "Shift"))
             if code & bit]
    key = code & 0x01FFFFFF
    parts.append(chr(key) if 0x20 < key < 0x7F else hex(key))
    return "+".join(parts)


def bindings():
    """Our component's actions in kglobalaccel, with their keys as text."""
    try:
        reply = bus.call_sync("org.kde.kglobalaccel", f"/component/{COMPONENT}", "org.kde.kglobalaccel.Component",
                              "allShortcutInfos", None, None, Gio.DBusCallFlags.NONE, 20000, None)
    except GLib.Error:
        return {}
    return {info[0]: [key_text(k) for k in info[6]] for info in reply.unpack()[0]}


def set_in_system_settings(action, keys):
    """What System Settings' shortcut page does when the user picks other keys."""
    action_id = [COMPONENT, action, COMPONENT, "Add a card from the selected text"]
    bus.call_sync("org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel", "setForeignShortcut",
                  GLib.Variant("(asai)", (action_id, keys)), None, Gio.DBusCallFlags.NONE, 20000, None)


# ---- the scenario ----

def scenario():
    bin_dir = os.path.join(BUILD, "bin")
    # No deployment is needed for the shortcut: an address on loopback that nothing answers.
    program = start(PROGRAM, [os.path.join(bin_dir, PROGRAM)], VOCARTA_DEPLOYMENT_URL="http://127.0.0.1:9/",
                    VOCARTA_TRAY_WAIT_MS="1000")

    wait_for("Ctrl+Alt+K in kglobalaccel", lambda: bindings().get("capture:CTRL+ALT+k") == ["Ctrl+Alt+K"])
    say(f"registered: kglobalaccel has {bindings()} for component {COMPONENT}")
    # Without a tray the settings window opens after a while; the text
    # application must come after it to stay in front.
    wait_for("settings window", lambda: active(PROGRAM, "Vocarta Settings"))

    text_app = start_text_app(bin_dir, "Text app")
    wait_for("text application in front", lambda: active("selection_app", "Text app"))
    press("ctrl", "alt", "k")
    field = wait_for("overlay with the selected word",
                     lambda: find(PROGRAM, lambda n: n.get_name() == FIELD and text_of(n) == "friend"))
    say(f"Ctrl+Alt+K: the overlay is open with \"{text_of(field)}\" from the other application")

    press("esc")
    wait_for("overlay to close", lambda: not find(PROGRAM, named(OVERLAY)))
    stop(text_app)

    # The settings window (open since start: no tray here), its shortcut section.
    click(wait_settled("NEXT", lambda: find(PROGRAM, named("NEXT"))))
    wait_for("first page to leave", lambda: not find(PROGRAM, named("NEXT")))
    click(wait_settled("shortcut section header", lambda: find(PROGRAM, named("ADD CARD SHORTCUT"))))
    wait_settled("recorder showing Ctrl+Alt+K", lambda: find(PROGRAM, named("Ctrl+Alt+K")))

    set_in_system_settings("capture:CTRL+ALT+k", [QT_META | ord("X")])
    field = wait_settled("recorder showing System Settings' Meta+X", lambda: find(PROGRAM, named("Meta+X")))
    say("a trigger set in System Settings is what the recorder shows: Meta+X")

    click(field)
    wait_for("recording", lambda: find(PROGRAM, named("Press shortcut keys...")))
    press("ctrl", "alt", "j")
    wait_for("recorder showing Ctrl+Alt+J", lambda: find(PROGRAM, named("Ctrl+Alt+J")))
    wait_for("Ctrl+Alt+J in kglobalaccel", lambda: bindings().get("capture:CTRL+ALT+j") == ["Ctrl+Alt+J"])
    say(f"recorded Ctrl+Alt+J: kglobalaccel has {bindings()}")

    # Only the new keys fire. kglobalaccel handles presses in order, so a press
    # of the earlier keys would be reported before the new one's.
    fired = []
    subscription = bus.signal_subscribe(
        "org.kde.kglobalaccel", "org.kde.kglobalaccel.Component", "globalShortcutPressed", f"/component/{COMPONENT}",
        None, Gio.DBusSignalFlags.NONE, lambda *args: fired.append(args[5].unpack()[1]))
    press("meta", "x")
    press("ctrl", "alt", "k")
    press("ctrl", "alt", "j")
    wait_for("press of the new shortcut", lambda: fired)
    bus.signal_unsubscribe(subscription)
    if fired != ["capture:CTRL+ALT+j"]:
        raise Failure(f"presses reported for {fired}, expected only the new shortcut")
    wait_for("overlay from Ctrl+Alt+J", lambda: find(PROGRAM, named(OVERLAY)))
    say("Ctrl+Alt+J opens the overlay; Meta+X and Ctrl+Alt+K no longer do")

    if program.poll() is not None:
        raise Failure(f"the program ended early ({program.returncode})")


if __name__ == "__main__":
    sys.exit(run(scenario, report=lambda: f"what {PROGRAM} shows:\n{dump(PROGRAM)}"))
