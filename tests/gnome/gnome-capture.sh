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
root=$(cd "$here/../.." && pwd)
export PATH=$PATH:/usr/sbin:/sbin

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
  plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
  ls "$plugins"/platforms/libqwayland-*.so >/dev/null 2>&1 || missing+=("qt6-wayland")
  /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0"); gi.require_version("Gio", "2.0")' \
    2>/dev/null || missing+=("python3-gi with the AT-SPI bindings")
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "${CI:-}" = true ]; then
      echo "FAILED: missing ${missing[*]} although scripts/setup installs them"
      exit 1
    fi
    echo "SKIP: missing ${missing[*]} (scripts/setup installs gnome-shell and its parts)"
    exit 77
  fi
  for program in vocarta-menubar selection_app; do
    [ -x "$build/bin/$program" ] || { echo "FAILED: $build/bin/$program is not built"; exit 1; }
  done

  work=$(mktemp -d /tmp/vocarta-gnome.XXXXXX)
  mkdir -p "$work"/{run,home,services}
  chmod 700 "$work/run"
  # What the bus may start on demand: accessibility, the keyring and dconf.
  # No portal: GNOME 43's has no global shortcuts, and another desktop's
  # backend installed on the same machine must not stand in for it.
  for name in org.a11y.Bus org.freedesktop.secrets org.gnome.keyring org.gnome.keyring.SystemPrompter \
    org.gnome.keyring.PrivatePrompter ca.desrt.dconf; do
    [ -f "/usr/share/dbus-1/services/$name.service" ] && cp "/usr/share/dbus-1/services/$name.service" "$work/services/"
  done
  sed "s|@SERVICE_DIR@|$work/services|" "$root/scripts/lib/session-bus.conf" >"$work/bus.conf"

  home=$work/home
  # A clean environment: nothing of the caller's display, bus or session.
  env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin LANG=C.UTF-8 VOCARTA_BUILD_DIR="$build" \
    VOCARTA_GNOME_WORK="$work" HOME="$home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" \
    XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome XDG_SESSION_TYPE=wayland CI="${CI:-}" \
    VOCARTA_GNOME_SCENARIO="${VOCARTA_GNOME_SCENARIO:-$here/gnome-scenario.py}" PYTHONPATH="$here" PYTHONDONTWRITEBYTECODE=1 \
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
started=()
say() { printf '[gnome] %s\n' "$*"; }
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}
has_name() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
shell_eval() {
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method org.gnome.Shell.Eval "$1" \
    2>/dev/null
}
shell_pid=""
finish() {
  local rc=$?
  # The shell's clean way out (SIGTERM makes gnome-shell 43 crash on its way
  # out); it ends Xwayland with it.
  if [ -n "$shell_pid" ] && alive "$shell_pid"; then
    shell_eval 'global.context.terminate()' >/dev/null
    for _ in $(seq 100); do alive "$shell_pid" || break; sleep 0.1; done
  fi
  # Helpers the bus started (keyring, accessibility bus, dconf) are clients of
  # this bus: found through it, then ended by PID with what this script
  # started, newest first.
  local names pids=() p name
  names=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames 2>/dev/null | grep -oE "':[0-9.]+'" | tr -d "'")
  for name in $names; do
    p=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null | sed -nE 's/.*uint32 ([0-9]+).*/\1/p')
    [ -n "$p" ] && [ "$p" != "$$" ] && [[ " ${started[*]} " != *" $p "* ]] && pids+=("$p")
  done
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null
    for _ in $(seq 100); do alive "${started[i]}" || break; sleep 0.1; done
    kill -9 "${started[i]}" 2>/dev/null
    wait "${started[i]}" 2>/dev/null
  done
  for p in "${pids[@]}"; do
    for _ in $(seq 100); do alive "$p" || break; sleep 0.1; done
    kill -9 "$p" 2>/dev/null
  done
  exit $rc
}
trap finish EXIT
trap 'exit 143' TERM INT

dbus-daemon --session --nofork --address="unix:path=$work/system-bus" >system-bus.log 2>&1 &
started+=($!)
for _ in $(seq 100); do [ -S "$work/system-bus" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system-bus

echo -n "vocarta-gnome-pw" | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled "<true>" >/dev/null

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
