#!/usr/bin/env bash
# Custom shortcut -> overlay focused on headless GNOME 43, as a person on
# GNOME meets it: the key goes through gnome-shell and gsd-media-keys, which
# starts `vocarta-menubar --capture`, which forwards to the running program.
# Timed in the shell from the key's injection to the overlay's focus, with a
# window with selected text in front and with no window focused, the program
# as a Wayland and as an Xwayland client. Prints figures.
#   bench/gnome-capture-latency/run.sh [build dir] [runs] [--timeline]
# --timeline lays out each press step by step (slower: strace follows
# gsd-media-keys); use a few runs.
# Needs what the GNOME test needs (scripts/setup installs it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
VOCARTA_BUILD_DIR=$build VOCARTA_GNOME_TEST_DIR=$build/bench/gnome-capture-latency \
  VOCARTA_GNOME_SCENARIO=$here/latency.py bash "$root/tests/gnome/gnome-capture.sh" "${2:-15}" "${@:3}"
