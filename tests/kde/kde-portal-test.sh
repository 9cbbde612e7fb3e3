#!/usr/bin/env bash
# The global shortcut against KDE Plasma's own portal, as Debian 12 ships it
# (Plasma 5.27), headless: kwin_wayland --virtual (kglobalaccel runs inside
# it), xdg-desktop-portal-kde and xdg-desktop-portal, all on a session bus of
# this test's own, with its own XDG directories and Wayland socket; then
# kde-scenario.py drives the program as a Wayland client in that stack.
# Exits 77 (skipped) where the KDE packages are not installed (scripts/setup
# installs them). Every process it starts is ended by its PID.
#   VOCARTA_BUILD_DIR  the build (bin/ holds the program and selection_app)
#   KDE_FAKE_INPUT     the key and click injector (tests/kde/KdeFakeInput.cpp)
#   KEEP_WORK=1        keep the work directory (logs) after a success too
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
desktop_tag=kde
source "$here/../desktop/session.sh"

kwin=/usr/bin/kwin_wayland
portal=/usr/libexec/xdg-desktop-portal
backend=""
for candidate in /usr/lib/*/libexec/xdg-desktop-portal-kde /usr/libexec/xdg-desktop-portal-kde; do
  [ -x "$candidate" ] && backend=$candidate && break
done

if [ -z "${VOCARTA_KDE_INNER:-}" ]; then
  : "${VOCARTA_BUILD_DIR:?}" "${KDE_FAKE_INPUT:?}"
  missing=()
  for needed in "$kwin" "$portal" "$backend" /usr/bin/python3 "$KDE_FAKE_INPUT"; do
    [ -x "$needed" ] || missing+=("${needed:-xdg-desktop-portal-kde}")
  done
  need_python_atspi
  skip_when_missing "scripts/setup installs the KDE packages"

  work=$(mktemp -d /tmp/vocarta-kde.XXXXXX)
  mkdir -p "$work"/{run,config,data,cache,state,home,config/vocarta}
  chmod 700 "$work/run"
  # A plain copy: the packaged binary carries a file capability
  # (cap_sys_resource) that a container may not grant, and then it does not
  # start at all.
  cp "$kwin" "$work/kwin_wayland"

  # Besides the usual, the portal's own helpers. The portals themselves are
  # started below, so no other desktop's backend can come in.
  private_bus_config "$work" "${bus_services[@]}" org.freedesktop.impl.portal.PermissionStore \
    org.freedesktop.portal.Documents

  # Windows open at the top left corner without a frame, so a point in a
  # window (as the accessibility tree gives it) is that point on the screen.
  cat >"$work/config/kwinrulesrc" <<'EOF'
[General]
count=1
rules=origin

[origin]
Description=Every window at the top left corner, without a frame
noborder=true
noborderrule=2
position=0,0
positionrule=2
EOF
  # A window that opens is the one in front, as a person starting it expects;
  # the default level lets the compositor refuse that to a program started
  # without a user action, which a test cannot tell from a failure.
  cat >"$work/config/kwinrc" <<'EOF'
[Windows]
FocusStealingPreventionLevel=0
EOF
  # The stored shortcut: Control-Option-K in the stored key model.
  cat >"$work/config/vocarta/vocarta-menubar.conf" <<'EOF'
[General]
shortcutKeyCombo="@ByteArray({\"keyCode\":40,\"modifierFlags\":786432})"
EOF

  export VOCARTA_KDE_INNER=1 VOCARTA_KDE_WORK=$work VOCARTA_KDE_BACKEND=$backend
  export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
  export XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
  export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=KDE WAYLAND_DISPLAY=wayland-vocarta
  # Lets the injector use KWin's fake-input protocol.
  export KWIN_WAYLAND_NO_PERMISSION_CHECKS=1
  unset DISPLAY DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER QT_QPA_PLATFORM
  dbus-run-session --config-file="$work/bus.conf" -- bash "$0" 2> >(grep -v 'fd limit' >&2)
  rc=$?
  if [ $rc = 0 ] && [ -z "${KEEP_WORK:-}" ]; then
    rm -rf "$work"
  else
    echo "kde: logs in $work"
  fi
  exit $rc
fi

# ---- On the test's own bus from here on ----
cd "$VOCARTA_KDE_WORK"
# The compositor was started first, so it ends last.
end_session_on_exit

unlock_keyring_and_accessibility vocarta-kde-pw

./kwin_wayland --virtual --no-lockscreen --no-kactivities --socket "$WAYLAND_DISPLAY" \
  --width 1024 --height 768 >kwin.log 2>&1 &
started+=($!)
wait_for 60 "compositor" test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
wait_for 60 "kglobalaccel in the compositor" has_name org.kde.kglobalaccel

QT_QPA_PLATFORM=wayland QT_LOGGING_RULES="xdp-kde-*=true" "$VOCARTA_KDE_BACKEND" >portal-kde.log 2>&1 &
started+=($!)
wait_for 60 "KDE portal backend" has_name org.freedesktop.impl.portal.desktop.kde
"/usr/libexec/xdg-desktop-portal" >portal.log 2>&1 &
started+=($!)
wait_for 60 "desktop portal" has_name org.freedesktop.portal.Desktop
say "kwin_wayland, xdg-desktop-portal-kde and xdg-desktop-portal are up"

PYTHONPATH="$here/../desktop" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 "$here/kde-scenario.py"
