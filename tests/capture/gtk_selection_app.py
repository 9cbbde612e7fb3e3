#!/usr/bin/python3
"""A GTK 3 window with a focused text field and a selection, for the capture
tests and the latency benchmark (the GTK counterpart of selection_app).

  gtk_selection_app.py [--multiline] [--text T] [--select FROM,TO] [--title W]

Prints "ready" once its window is active and the field has the focus. A line
"second-window" on standard input opens a second window with nothing to
focus in it and prints "second ready" once that one is active; a line
"refocus" focuses the field once more; "select FROM,TO" selects another
range in it, and "delete" deletes what is selected.
"""
import argparse
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--text", default="")
    parser.add_argument("--select", default="")
    parser.add_argument("--title", default="gtk selection app")
    parser.add_argument("--multiline", action="store_true")
    args = parser.parse_args()

    window = Gtk.Window(title=args.title)
    window.set_default_size(400, 120)
    window.connect("destroy", Gtk.main_quit)
    if args.multiline:
        entry = Gtk.TextView()
        buffer = entry.get_buffer()
        buffer.set_text(args.text)

        def select_region(start, end):
            buffer.select_range(buffer.get_iter_at_offset(start), buffer.get_iter_at_offset(end))

        def delete_selection():
            buffer.delete_selection(True, True)
    else:
        entry = Gtk.Entry()
        entry.set_text(args.text)
        select_region = entry.select_region
        delete_selection = entry.delete_selection
    window.add(entry)
    window.show_all()
    window.present()

    selection = [0, 0]
    if args.select:
        selection = [int(part) for part in args.select.split(",", 1)]

    def refocus():
        # The accessibility bridge learns who listens only after start-up
        # and drops focus events until then: focus the field once more, as
        # a person clicking into it would, so listeners hear of it.
        window.set_focus(None)
        entry.grab_focus()
        # Focusing an entry selects all of it: set the wanted range afterwards.
        start, end = selection
        if end > start:
            select_region(start, end)
        else:
            select_region(0, 0)

    def settle():
        refocus()
        print("ready", flush=True)
        return False

    def report():
        if not (window.is_active() and entry.has_focus()):
            return True
        GLib.timeout_add(300, settle)
        return False

    def open_second_window():
        second = Gtk.Window(title=args.title + " (second)")
        second.set_default_size(300, 100)
        second.add(Gtk.Label(label="nothing to type here"))
        second.show_all()
        second.present()

        def second_active():
            if not second.is_active():
                return True
            print("second ready", flush=True)
            return False

        GLib.timeout_add(20, second_active)

    def on_input(channel, condition):
        line = channel.readline()
        if not line:
            return False
        if line.strip() == "second-window":
            open_second_window()
        elif line.strip() == "refocus":
            refocus()
        elif line.startswith("select "):
            selection[:] = [int(part) for part in line[len("select "):].split(",", 1)]
            select_region(*selection)
        elif line.strip() == "delete":
            delete_selection()
        return True

    GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.PRIORITY_DEFAULT,
                      GLib.IOCondition.IN | GLib.IOCondition.HUP, on_input)
    entry.grab_focus()
    GLib.timeout_add(20, report)
    Gtk.main()
    return 0


if __name__ == "__main__":
    sys.exit(main())
