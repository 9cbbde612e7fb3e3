#!/usr/bin/python3
"""Key injection -> overlay focused, timed by the shell's own clock (run by
run.sh inside the GNOME test's stack). The first press after the program's
start is shown apart from the others."""
import os
import statistics
import sys

from gnome_session import (OVERLAY, PROGRAM, Failure, GLib, Input, children, focus, on_screen, press_in_overlay,
                           say, shell, start, stop, wait_for)

BUILD = os.environ["VOCARTA_BUILD_DIR"]
RUNS = int(sys.argv[1]) if len(sys.argv) > 1 else 15
TEXT_APP = "Text app"

# Each focus change with the shell's monotonic time, the clock GLib gives here too.
WATCH_FOCUS = """(() => { if (!globalThis.vocartaFocusLog) { globalThis.vocartaFocusLog = [];
  global.display.connect('notify::focus-window', () => { const w = global.display.focus_window;
    globalThis.vocartaFocusLog.push([imports.gi.GLib.get_monotonic_time(), w ? w.get_title() : null]); }); }
  globalThis.vocartaFocusLog.length = 0; return true; })()"""


def one_press(keys):
    shell(WATCH_FOCUS)
    pressed = GLib.get_monotonic_time()
    keys.press("ctrl", "alt", "k")
    wait_for("overlay focused", lambda: focus().get("title") == OVERLAY)
    focused = next(t for t, title in shell("globalThis.vocartaFocusLog") if title == OVERLAY)
    press_in_overlay(keys, "overlay gone", lambda: on_screen(OVERLAY) == 0, "esc")
    return (focused - pressed) / 1000


def figures(label, times):
    rest = sorted(times[1:])
    say(f"{label}: first {times[0]:.0f} ms; then n={len(rest)} min {rest[0]:.0f} median "
        f"{statistics.median(rest):.0f} max {rest[-1]:.0f} ms")


def series(keys, platform):
    bin_dir = os.path.join(BUILD, "bin")
    program = start(f"{PROGRAM}-{platform}", [os.path.join(bin_dir, PROGRAM), "--autostart"],
                    QT_QPA_PLATFORM=platform,
                    VOCARTA_DEPLOYMENT_URL="http://127.0.0.1:9/")
    wait_for("program on the bus", lambda: shell(
        "Object.keys(Main.panel.statusArea).some(k => k.startsWith('appindicator-'))"))
    text_app = start("text-app", [os.path.join(bin_dir, "selection_app"), "--title", TEXT_APP, "--text",
                                  "My friend reads a book every evening", "--select", "3,9"],
                     QT_QPA_PLATFORM="wayland", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    in_front = []
    for _ in range(RUNS):
        wait_for("the text application in front", lambda: focus().get("title") == TEXT_APP)
        in_front.append(one_press(keys))
    stop(text_app)
    nothing = []
    for _ in range(RUNS):
        wait_for("no window focused", lambda: not focus())
        nothing.append(one_press(keys))
    stop(program)
    figures(f"{platform}: a reader window in front", in_front)
    figures(f"{platform}: no window focused", nothing)


def main():
    try:
        shell("Main.overview.hide()")
        wait_for("gsd-media-keys' grab of Ctrl+Alt+K",
                 lambda: shell("global.display.get_keybinding_action(45, 12)") not in (None, 0))
        keys = Input()
        try:
            series(keys, "wayland")
            series(keys, "xcb")
        finally:
            keys.stop()
        return 0
    except (Failure, GLib.Error) as error:
        say(f"FAILED: {error}; focus {focus()}, windows {shell('global.get_window_actors().map(a => a.meta_window.get_title())')}")
        return 1
    finally:
        for process in reversed(list(children)):
            stop(process)


if __name__ == "__main__":
    sys.exit(main())
