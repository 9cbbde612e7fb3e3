#!/usr/bin/python3
"""Key injection -> overlay focused, timed by the shell's own clock (run by
run.sh inside the GNOME test's stack). The first press after the program's
start is shown apart from the others.

With --timeline, each press is also laid out step by step on the monotonic
clock: the shell's handling of the key, gsd-media-keys starting the command
and the command's exec (strace on gsd-media-keys), the program's own steps
(its vocarta.timing lines) and the window as mutter sees it (created, shown,
first frame, focus)."""
import os
import re
import statistics
import subprocess
import sys
import time

from gnome_session import (OVERLAY, PROGRAM, Failure, GLib, Input, children, focus, on_screen, press_in_overlay,
                           say, shell, start, stop, wait_for)

BUILD = os.environ["VOCARTA_BUILD_DIR"]
RUNS = int(sys.argv[1]) if len(sys.argv) > 1 else 15
TIMELINE = "--timeline" in sys.argv[2:]
TEXT_APP = "Text app"

# Each focus change with the shell's monotonic time, the clock GLib gives here too.
WATCH_FOCUS = """(() => { if (!globalThis.vocartaFocusLog) { globalThis.vocartaFocusLog = [];
  global.display.connect('notify::focus-window', () => { const w = global.display.focus_window;
    globalThis.vocartaFocusLog.push([imports.gi.GLib.get_monotonic_time(), w ? w.get_title() : null]); }); }
  globalThis.vocartaFocusLog.length = 0; return true; })()"""


# The shell's steps of one press: the key's accelerator, each new window, its
# first showing and first frame; reset before each press.
WATCH_STEPS = """(() => { const now = () => imports.gi.GLib.get_monotonic_time();
  if (!globalThis.vocartaSteps) { globalThis.vocartaSteps = [];
    const log = what => globalThis.vocartaSteps.push([now(), what]);
    global.display.connect('accelerator-activated', () => log('shell: accelerator activated'));
    global.display.connect('window-created', (d, w) => {
      const kind = w.get_client_type() === 0 ? 'Wayland' : 'X11';
      log(`mutter: ${kind} window created (${w.get_title()})`);
      w.connect('shown', () => log(`mutter: window shown (${w.get_title()}), fullscreen ${w.is_fullscreen()}`));
      const actor = w.get_compositor_private();
      if (actor) actor.connect('first-frame', () => log(`mutter: first frame (${w.get_title()})`)); }); }
  globalThis.vocartaSteps.length = 0; return true; })()"""

TIMING_LINE = re.compile(r"at (\d+) us: (.*)$")
# libwayland's WAYLAND_DEBUG lines: wall-clock microseconds modulo 2^32, as milliseconds.
WAYLAND_LINE = re.compile(r"^\[\s*(\d+)\.(\d{3})\]\s+(.*)$")
WAYLAND_SHOWN = re.compile(r"xdg_|wl_keyboard@\d+\.enter|wl_surface@\d+\.(commit|attach)|wl_callback@\d+\.done")


class Timeline:
    """Collects the steps of each press from the shell, strace and the program's log."""

    def __init__(self, program_log):
        self.program_log = program_log
        self.strace_log = os.path.join(os.environ["VOCARTA_GNOME_WORK"], "media-keys-strace.log")
        # strace stamps with the wall clock; the offset brings it to the monotonic one.
        self.wall_offset = time.time() * 1e6 - GLib.get_monotonic_time()
        owner = call_bus("GetConnectionUnixProcessID", "org.gnome.SettingsDaemon.MediaKeys")
        self.strace = subprocess.Popen(["strace", "-f", "-ttt", "-e", "trace=execve,clone,clone3,vfork,exit_group",
                                        "-o", self.strace_log, "-p", str(owner)],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("strace attached", lambda: os.path.exists(self.strace_log))
        time.sleep(0.5)  # strace attaches to every thread before it writes anything
        # What the polling for the focus costs the shell: each poll is one of these.
        began = GLib.get_monotonic_time()
        for _ in range(20):
            focus()
        say(f"one focus poll (Shell.Eval, every 50 ms while waiting): {(GLib.get_monotonic_time() - began) / 20000:.2f} ms")

    def stop(self):
        self.strace.terminate()
        self.strace.wait(20)

    def begin(self):
        shell(WATCH_STEPS)
        self.log_start = os.path.getsize(self.program_log)
        self.strace_start = os.path.getsize(self.strace_log)

    def steps(self, since):
        steps = [(t, what) for t, what in shell("globalThis.vocartaSteps")]
        with open(self.program_log, errors="replace") as log:
            log.seek(self.log_start)
            for line in log:
                match = TIMING_LINE.search(line)
                if match:
                    steps.append((int(match.group(1)), "program: " + match.group(2)))
                    continue
                match = WAYLAND_LINE.match(line)
                if match and WAYLAND_SHOWN.search(match.group(3)):
                    wall = int(time.time() * 1e6)
                    stamp = wall - ((wall - (int(match.group(1)) * 1000 + int(match.group(2)))) % 2**32)
                    steps.append((int(stamp - self.wall_offset), "wayland: " + match.group(3)[:90]))
        with open(self.strace_log, errors="replace") as log:
            log.seek(self.strace_start)
            for line in log:
                fields = line.split(None, 2)
                if len(fields) == 3 and re.match(r"\d+\.\d+$", fields[1]):
                    what = fields[2].strip()
                    # Its clones and threads say little; the execs and the exits tell the story.
                    if "resumed>" in what or "exit_group" in what or what.startswith(("clone", "---")):
                        continue
                    steps.append((int(float(fields[1]) * 1e6 - self.wall_offset),
                                  f"strace {fields[0]}: {what[:90]}"))
        return sorted((t - since, what) for t, what in steps if t >= since - 5000)


def call_bus(method, name):
    from gnome_session import call
    return call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
                GLib.Variant("(s)", (name,)), "(u)").unpack()[0]


def program_steps(program_log, offset):
    """The program's vocarta.timing steps written since `offset`: {step: first time}."""
    steps = {}
    with open(program_log, errors="replace") as log:
        log.seek(offset)
        for line in log:
            match = TIMING_LINE.search(line)
            if match:
                steps.setdefault(match.group(2), int(match.group(1)))
    return steps


def one_press(keys, program_log, timeline=None):
    """The press's total (ms) and its parts: key -> request in the running copy
    (the shell, gsd-media-keys, the second start's forward), request -> show
    (the selection read), show -> focus (the window: ours and mutter's)."""
    shell(WATCH_FOCUS)
    if timeline:
        timeline.begin()
    offset = os.path.getsize(program_log)
    pressed = GLib.get_monotonic_time()
    keys.press("ctrl", "alt", "k")
    wait_for("overlay focused", lambda: focus().get("title") == OVERLAY)
    focused = next(t for t, title in shell("globalThis.vocartaFocusLog") if title == OVERLAY)
    if timeline:
        say(f"timeline of one press ({(focused - pressed) / 1000:.1f} ms), from the injection of Ctrl:")
        for t, what in timeline.steps(pressed):
            say(f"  {t / 1000:8.1f} ms  {what}")
        say(f"  {(focused - pressed) / 1000:8.1f} ms  mutter: focus on the overlay")
    steps = program_steps(program_log, offset)
    press_in_overlay(keys, "overlay gone", lambda: on_screen(OVERLAY) == 0, "esc")
    requested, shown = steps.get("capture: requested"), steps.get("capture: show")
    parts = {}
    if requested and shown:
        parts = {"key->request": (requested - pressed) / 1000, "request->show": (shown - requested) / 1000,
                 "show->focus": (focused - shown) / 1000}
    return (focused - pressed) / 1000, parts


def figures(label, presses):
    times = [total for total, _ in presses]
    rest = sorted(times[1:])
    say(f"{label}: first {times[0]:.0f} ms; then n={len(rest)} min {rest[0]:.0f} median "
        f"{statistics.median(rest):.0f} max {rest[-1]:.0f} ms (load {os.getloadavg()[0]:.1f})")
    first = presses[0][1]
    if first:
        say("  first press: " + ", ".join(f"{name} {value:.1f}" for name, value in first.items()) + " ms")
    parts = [p for _, p in presses[1:] if p]
    if parts:
        say("  then medians: " + ", ".join(f"{name} {statistics.median(p[name] for p in parts):.1f}"
                                         for name in parts[0]) + " ms")


def series(keys, platform):
    bin_dir = os.path.join(BUILD, "bin")
    # The program's timing steps split each press into its parts.
    environment = {"QT_LOGGING_RULES": "vocarta.timing.debug=true"}
    if TIMELINE and platform == "wayland":
        environment["WAYLAND_DEBUG"] = "client"
    program = start(f"{PROGRAM}-{platform}", [os.path.join(bin_dir, PROGRAM), "--autostart"],
                    QT_QPA_PLATFORM=platform,
                    VOCARTA_DEPLOYMENT_URL="http://127.0.0.1:9/", **environment)
    wait_for("program on the bus", lambda: shell(
        "Object.keys(Main.panel.statusArea).some(k => k.startsWith('appindicator-'))"))
    program_log = os.path.join(os.environ["VOCARTA_GNOME_WORK"], f"{PROGRAM}-{platform}.log")
    if platform == "xcb":
        # The overlay is drawn once unseen at start-up on X11, and mutter
        # focuses it for that moment: a press before then would time that focus.
        wait_for("the overlay's warm-up", lambda: "overlay: first frame swapped" in program_steps(program_log, 0))
        wait_for("the warm-up window gone", lambda: on_screen(OVERLAY) == 0)
    text_app = start("text-app", [os.path.join(bin_dir, "selection_app"), "--title", TEXT_APP, "--text",
                                  "My friend reads a book every evening", "--select", "3,9"],
                     QT_QPA_PLATFORM="wayland", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    timeline = Timeline(program_log) if TIMELINE else None
    try:
        in_front = []
        for _ in range(RUNS):
            wait_for("the text application in front", lambda: focus().get("title") == TEXT_APP)
            in_front.append(one_press(keys, program_log, timeline))
        stop(text_app)
        nothing = []
        for _ in range(RUNS):
            wait_for("no window focused", lambda: not focus())
            nothing.append(one_press(keys, program_log, timeline))
    finally:
        if timeline:
            timeline.stop()
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
