"""What the GNOME scenarios add to tests/desktop/desktop_session.py: the
shell's own view of its windows (org.gnome.Shell.Eval, which needs unsafe
mode) and keys and clicks from one remote-desktop session of mutter. Runs
inside the stack gnome-capture.sh starts."""
import json
import os

from desktop_session import (OVERLAY, PROGRAM, Failure, GLib, Gio, bus, children, configure, field_text,  # noqa: F401
                             run, say, start, start_text_app, stop, wait_for)

KEYSYM = {"ctrl": 0xFFE3, "alt": 0xFFE9, "shift": 0xFFE1, "esc": 0xFF1B, "tab": 0xFF09, "f4": 0xFFC1, "k": 0x6B,
          "1": 0x31, "2": 0x32, "3": 0x33}
WAYLAND, X11 = 0, 1  # the shell's client types

configure("gnome", os.environ["VOCARTA_GNOME_WORK"])


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


def press_in_overlay(keys, what, done, *combination):
    """Presses `combination` in the focused overlay until `done` holds. The
    shell names a window focused a moment before the client's display server
    sends it the keyboard (Xwayland), and a key in between is lost: pressed
    again, bounded, only while the overlay still has the focus."""
    for _ in range(10):
        keys.press(*combination)
        try:
            return wait_for(what, done, limit=3)
        except Failure:
            if focus().get("title") != OVERLAY:
                break
    return wait_for(what, done)


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
