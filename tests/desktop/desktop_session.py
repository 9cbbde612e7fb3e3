"""What the desktop scenarios (GNOME, KDE) share: the programs they start and
end, bounded waits for a condition, the accessibility tree as a person would
read the screen, and the run that reports PASS or what failed. Each desktop's
own helpers (its shell, its key injection) live next to its scenario."""
import os
import subprocess
import time

import gi

gi.require_version("Atspi", "2.0")
gi.require_version("Gio", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

PROGRAM = "vocarta-menubar"
OVERLAY = "Add card"
FIELD = "Word or phrase"
LIMIT = 30

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
children = []
_session = {"tag": "desktop", "work": None, "environment": {}}


class Failure(Exception):
    pass


def configure(tag, work, **environment):
    """Names the desktop in every line, keeps logs in `work`, and gives every
    started program `environment` on top of the scenario's own."""
    _session.update(tag=tag, work=work, environment=environment)


def say(text):
    print(f"[{_session['tag']}] {text}", flush=True)


def wait_for(what, condition, limit=LIMIT, every=0.05):
    """Polls `condition` every `every` s (turning the D-Bus signal loop) until it gives a true value."""
    deadline = time.monotonic() + limit
    context = GLib.MainContext.default()
    while True:
        while context.iteration(False):
            pass
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"no {what} within {limit} s")
        time.sleep(every)


# ---- programs ----

def start(name, arguments, **environment):
    log = open(os.path.join(_session["work"], f"{name}.log"), "w")
    env = dict(os.environ, **_session["environment"], **environment)
    process = subprocess.Popen(arguments, stdout=log, stderr=subprocess.STDOUT, env=env)
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


def start_text_app(bin_dir, title, **environment):
    """Another application with "friend" selected in a focused field."""
    return start("text-app", [os.path.join(bin_dir, "selection_app"), "--title", title, "--text",
                              "My friend reads a book every evening", "--select", "3,9"],
                 QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", **environment)


def run(scenario, report=None):
    """Runs `scenario`, says PASS or what failed (with `report()` after it),
    and ends every program it started. The exit status for the script."""
    try:
        scenario()
        say("PASS")
        return 0
    except (Failure, subprocess.SubprocessError, GLib.Error) as error:
        say(f"FAILED: {error}")
        if report:
            say(report())
        return 1
    finally:
        for process in reversed(list(children)):
            stop(process)


# ---- the accessibility tree ----

def applications(name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is None or app.get_name() != name:
                continue
            app.clear_cache()
        except GLib.Error:
            continue
        yield app


def find(app_name, predicate):
    """The first showing accessible of the application that `predicate` accepts."""
    for app in applications(app_name):
        pending = [app]
        while pending:
            node = pending.pop(0)
            if node is None:  # a child that went away meanwhile
                continue
            try:
                if node is not app and node.get_state_set().contains(Atspi.StateType.SHOWING) and predicate(node):
                    return node
                pending.extend(node.get_child_at_index(j) for j in range(node.get_child_count()))
            except GLib.Error:
                continue
    return None


def named(name):
    return lambda node: node.get_name() == name


def text_of(node):
    return Atspi.Text.get_text(node, 0, -1) if "Text" in node.get_interfaces() else None


def field_text():
    field = find(PROGRAM, named(FIELD))
    return text_of(field) if field is not None else None


def active(app_name, title):
    return find(app_name, lambda n: n.get_name() == title and n.get_state_set().contains(Atspi.StateType.ACTIVE))


def extents(node):
    box = Atspi.Component.get_extents(node, Atspi.CoordType.WINDOW)
    return box.x, box.y, box.width, box.height


def dump(app_name):
    """The application's tree as text, for the failure report."""
    lines = []

    def walk(node, depth):
        if node is None:
            return
        try:
            states = node.get_state_set()
            flags = "".join(flag for flag, state in (("s", Atspi.StateType.SHOWING), ("a", Atspi.StateType.ACTIVE))
                            if states.contains(state))
            text = text_of(node)
            lines.append(f"{'  ' * depth}[{node.get_role_name()}] {node.get_name()!r} {flags}"
                         + (f" text {text!r}" if text else ""))
            for i in range(node.get_child_count()):
                walk(node.get_child_at_index(i), depth + 1)
        except GLib.Error:
            pass

    for app in applications(app_name):
        walk(app, 0)
    return "\n".join(lines)
