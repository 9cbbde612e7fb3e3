#!/usr/bin/env bash
# The main job on GNOME 43 (Debian 12), headless: gnome-shell --headless with
# a virtual monitor on a session bus of this test's own (and a stand-in system
# bus: gnome-shell gives up without one where systemd's seat directory
# exists), the custom shortcut Ctrl+Alt+K -> `vocarta-menubar --capture` set
# through gsettings as Settings does, and gsd-media-keys, which runs it. Then
# gnome-scenario.py drives the program. Unsafe mode lets the scenario read the
# shell's own view of its windows (org.gnome.Shell.Eval); keys come from a
# remote-desktop session of mutter, as from a keyboard.
#
# Exits 77 (skipped) when a package is missing (outside CI; under CI that is
# a failure, since scripts/setup installs them) or when gnome-shell cannot
# start on this machine (a container without what it needs), with the reason. Every process it
# starts is ended by its PID.
#   VOCARTA_BUILD_DIR      the build (bin/ holds the program and selection_app)
#   VOCARTA_GNOME_TEST_DIR where the logs of the last run are kept
#   VOCARTA_GNOME_SCENARIO what to run in the stack (default gnome-scenario.py;
#                          the latency benchmark runs its own); the
#                          script's arguments are handed on to it
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export PATH=$PATH:/usr/sbin:/sbin
desktop_tag=gnome
source "$here/../desktop/session.sh"

shell=/usr/bin/gnome-shell
media_keys=/usr/libexec/gsd-media-keys
indicator=/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com

if [ "${1:-}" != "--inner" ]; then
  build=${VOCARTA_BUILD_DIR:?}
  logs=${VOCARTA_GNOME_TEST_DIR:-$build/tests/gnome/session}
  missing=()
  for needed in "$shell" "$media_keys" /usr/bin/Xwayland /usr/bin/python3 /usr/bin/gsettings; do
    [ -x "$needed" ] || missing+=("$needed")
  done
  [ -d "$indicator" ] || missing+=("gnome-shell-extension-appindicator")
  need_qt_wayland
  need_python_atspi
  skip_when_missing "scripts/setup installs gnome-shell and its parts"
  for program in vocarta-menubar selection_app; do
    [ -x "$build/bin/$program" ] || { echo "FAILED: $build/bin/$program is not built"; exit 1; }
  done

  work=$(mktemp -d /tmp/vocarta-gnome.XXXXXX)
  mkdir -p "$work"/{run,home}
  chmod 700 "$work/run"
  # No portal: GNOME 43's has no global shortcuts, and another desktop's
  # backend installed on the same machine must not stand in for it.
  private_bus_config "$work" "${bus_services[@]}"

  home=$work/home
  # A clean environment: nothing of the caller's display, bus or session.
  env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin LANG=C.UTF-8 VOCARTA_BUILD_DIR="$build" \
    VOCARTA_GNOME_WORK="$work" HOME="$home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" \
    XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome XDG_SESSION_TYPE=wayland CI="${CI:-}" \
    VOCARTA_GNOME_SCENARIO="${VOCARTA_GNOME_SCENARIO:-$here/gnome-scenario.py}" \
    PYTHONPATH="$here:$here/../desktop" PYTHONDONTWRITEBYTECODE=1 \
    dbus-run-session --config-file="$work/bus.conf" -- bash "$0" --inner "$@" 2> >(grep -v 'fd limit' >&2)
  rc=$?
  rm -rf "$logs"
  mkdir -p "$logs"
  cp "$work"/*.log "$logs"/ 2>/dev/null
  rm -rf "$work"
  [ $rc = 0 ] || echo "gnome: logs in $logs"
  exit $rc
fi

# ---- On the test's own bus from here on ----
work=$VOCARTA_GNOME_WORK
cd "$work"
shell_eval() {
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method org.gnome.Shell.Eval "$1" \
    2>/dev/null
}
shell_pid=""
before_end() {
  # The shell's clean way out (SIGTERM makes gnome-shell 43 crash on its way
  # out); it ends Xwayland with it.
  if [ -n "$shell_pid" ] && alive "$shell_pid"; then
    shell_eval 'global.context.terminate()' >/dev/null
    for _ in $(seq 100); do alive "$shell_pid" || break; sleep 0.1; done
  fi
}
end_session_on_exit

dbus-daemon --session --nofork --address="unix:path=$work/system-bus" >system-bus.log 2>&1 &
started+=($!)
for _ in $(seq 100); do [ -S "$work/system-bus" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system-bus

unlock_keyring_and_accessibility vocarta-gnome-pw

# What a user sets up: the tray extension, and in Settings -> Keyboard ->
# Custom Shortcuts the command on Ctrl+Alt+K. Animations off so that a window
# is where it ends up as soon as the shell reports it.
media=org.gnome.settings-daemon.plugins.media-keys
path=/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/
gsettings set org.gnome.shell enabled-extensions "['ubuntu-appindicators@ubuntu.com']"
gsettings set org.gnome.desktop.interface enable-animations false
gsettings set $media custom-keybindings "['$path']"
gsettings set $media.custom-keybinding:$path name 'Add a card'
gsettings set $media.custom-keybinding:$path command "$VOCARTA_BUILD_DIR/bin/vocarta-menubar --capture"
gsettings set $media.custom-keybinding:$path binding '<Control><Alt>k'

"$shell" --headless --wayland --virtual-monitor 1920x1080 --unsafe-mode --wayland-display=vocarta-gnome \
  >shell.log 2>&1 </dev/null &
shell_pid=$!
started+=($shell_pid)
deadline=$((SECONDS + 60))
until shell_eval 'Main.layoutManager._startingUp' | grep -q "(true, 'false')"; do
  if ! alive "$shell_pid" || [ $SECONDS -ge $deadline ]; then
    say "SKIP: gnome-shell cannot start here (the last lines of its log follow)"
    tail -n 15 shell.log
    exit 77
  fi
  sleep 0.1
done
say "gnome-shell $(gnome-shell --version | awk '{print $3}') is up"

export WAYLAND_DISPLAY=vocarta-gnome
DISPLAY=$(shell_eval 'imports.gi.GLib.getenv("DISPLAY")' | sed -nE "s/.*'\"(.*)\"'.*/\1/p")
XAUTHORITY=$(shell_eval 'imports.gi.GLib.getenv("XAUTHORITY")' | sed -nE "s/.*'\"(.*)\"'.*/\1/p")
export DISPLAY XAUTHORITY
# gsd-media-keys runs the command with its own environment.
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
  DBUS_SYSTEM_BUS_ADDRESS
"$media_keys" >media-keys.log 2>&1 </dev/null &
started+=($!)

/usr/bin/python3 "$VOCARTA_GNOME_SCENARIO" "${@:2}"
