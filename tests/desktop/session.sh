# What the desktop tests' shell halves share (sourced by gnome-capture.sh,
# kde-portal-test.sh and sway-capture.sh): the check for the packages they
# need, the private session bus and what it may start, bounded waits, and the
# end of everything the session started, by PID. Each script sets
# desktop_tag (the word in front of every line) before sourcing this.

say() { printf '[%s] %s\n' "${desktop_tag:?}" "$*"; }

# skip_when_missing HINT: with packages named in the array `missing`, the test
# is skipped (exit 77), saying HINT; under CI, where scripts/setup installs
# them, it fails instead.
skip_when_missing() {
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "${CI:-}" = true ]; then
    echo "FAILED: missing ${missing[*]} although scripts/setup installs them"
    exit 1
  fi
  echo "SKIP: missing ${missing[*]} ($1)"
  exit 77
}

# need_qt_wayland, need_python_atspi: add to `missing` what is not installed.
need_qt_wayland() {
  local plugins
  plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
  ls "$plugins"/platforms/libqwayland-*.so >/dev/null 2>&1 || missing+=("qt6-wayland")
}
need_python_atspi() {
  /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0"); gi.require_version("Gio", "2.0")' \
    2>/dev/null || missing+=("python3-gi with the AT-SPI bindings")
}

# private_bus_config WORK NAME...: WORK/bus.conf, a session bus that may start
# only the services NAME... (copied into WORK/services), so that no other
# desktop's service installed on the same machine can stand in.
private_bus_config() {
  local work=$1 name
  shift
  mkdir -p "$work/services"
  for name in "$@"; do
    [ -f "/usr/share/dbus-1/services/$name.service" ] && cp "/usr/share/dbus-1/services/$name.service" "$work/services/"
  done
  sed "s|@SERVICE_DIR@|$work/services|" "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/session-bus.conf" \
    >"$work/bus.conf"
}
# The services every desktop session here lets the bus start.
bus_services=(org.a11y.Bus org.freedesktop.secrets org.gnome.keyring org.gnome.keyring.SystemPrompter
  org.gnome.keyring.PrivatePrompter ca.desrt.dconf)

# ---- On the test's own bus ----

started=()
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}
has_name() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
# fail WHAT: the test fails; a script may redefine it to add what it knows.
fail() {
  say "FAILED: $*"
  exit 1
}
# fail_with_logs WORK WHAT: the test fails, with the last lines of each log
# in WORK.
fail_with_logs() {
  local work=$1 log
  shift
  say "FAILED: $*"
  for log in "$work"/*.log; do
    echo "----- $(basename "$log") (last lines)"
    tail -n 25 "$log"
  done
  exit 1
}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wait-for.sh"

# The keyring unlocked with PASSWORD, and accessibility on, as at a login.
unlock_keyring_and_accessibility() {
  echo -n "$1" | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
  gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled "<true>" >/dev/null
}

# start_signed_in_deployment BIN WORK: the local deployment on a free
# loopback port (its log WORK/devserver.log, its data WORK/state.json), and
# the program's session signed in with one of its link codes; exports
# VOCARTA_DEPLOYMENT_URL for what starts after.
start_signed_in_deployment() {
  local bin=$1 work=$2 code
  "$bin/vocarta-devserver" --port 0 --data "$work/state.json" --print-link-code >"$work/devserver.log" 2>&1 &
  started+=($!)
  wait_for 30 "link code from the deployment" grep -qE '^link code: ' "$work/devserver.log"
  code=$(sed -nE 's/^link code: ([A-Z0-9-]+)$/\1/p' "$work/devserver.log")
  VOCARTA_DEPLOYMENT_URL=$(sed -nE 's/^vocarta-devserver listening on (http:[^ ]+).*/\1/p' "$work/devserver.log")
  export VOCARTA_DEPLOYMENT_URL
  QT_QPA_PLATFORM=offscreen timeout 90 "$bin/wayland_seed_session" "$code" >"$work/seed.log" 2>&1 ||
    fail "the session could not be signed in"
}

# Ends what the script started (the array `started`), newest first, and the
# helpers the bus started (keyring, accessibility bus, dconf...): they are
# clients of this bus, found through it and ended by PID.
end_session() {
  local names pids=() p name i
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
}

# end_session_on_exit: the session ends however the script does, keeping its
# exit status; a script defines before_end for what must go first.
before_end() { :; }
end_session_on_exit() {
  trap 'rc=$?; before_end; end_session; exit $rc' EXIT
  trap 'exit 143' TERM INT
}
