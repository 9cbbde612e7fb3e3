#!/usr/bin/env bash
# The program as a user gets it: installed with `cmake --install` into a
# temporary prefix, then started from there inside the test session.
#   install-test.sh BUILD_DIR VERSION
# Checks the installed files and their modes, desktop-file-validate and
# appstreamcli, that the command in bin loads no Qt, --version and the manual
# page against --help, that the launcher becomes the program in the same
# process under the same name, that the
# installed program finds its own bundle (not the build tree's), that
# --autostart opens no window while a later request still reaches the running
# copy, the windows' X11 class against StartupWMClass, and a vocarta:// address
# opened with xdg-open through the installed desktop file.
set -uo pipefail
build=$1
version=$2
app_id=me.brindlefox.vocarta.menubar
work=$(mktemp -d /tmp/vocarta-install.XXXXXX)
prefix=$work/prefix
started=()
finish() {
  local rc=$?
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null
    wait "${started[i]}" 2>/dev/null
  done
  rm -rf "$work"
  exit $rc
}
trap finish EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do [ -f "$log" ] && { echo "--- $log" >&2; tail -n 30 "$log" >&2; }; done
  exit 1
}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wait-for.sh"

# 1. The layout: every file with its mode, every folder 755.
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "cmake --install failed"
flags=$(for c in de es fr gb hu it nl pl pt ru se; do
  echo "644 share/vocarta-menubar/VocartaMenubar_VocartaMenubar.bundle/Resources/Flags/$c.svg"
done)
expected=$(sort <<LIST
755 bin/vocarta-menubar
755 libexec/vocarta-menubar/vocarta-menubar
755 libexec/vocarta-menubar/vocarta-secret-helper
644 share/applications/$app_id.desktop
644 share/metainfo/$app_id.metainfo.xml
644 share/icons/hicolor/scalable/apps/$app_id.svg
644 share/icons/hicolor/symbolic/apps/$app_id-symbolic.svg
644 share/man/man1/vocarta-menubar.1.gz
644 share/doc/vocarta-menubar/copyright
644 share/doc/vocarta-menubar/changelog.gz
644 share/doc/vocarta-menubar/licenses/Nunito-OFL.txt
644 share/doc/vocarta-menubar/licenses/Staatliches-OFL.txt
644 share/doc/vocarta-menubar/licenses/circle-flags-MIT.md
644 share/vocarta-menubar/VocartaMenubar_VocartaMenubar.bundle/Resources/Fonts/Nunito_400Regular.ttf
644 share/vocarta-menubar/VocartaMenubar_VocartaMenubar.bundle/Resources/Fonts/Nunito_800ExtraBold.ttf
644 share/vocarta-menubar/VocartaMenubar_VocartaMenubar.bundle/Resources/Fonts/Staatliches_400Regular.ttf
$flags
LIST
)
actual=$(cd "$prefix" && find . -type f -printf '%m %P\n' | sort)
if [ "$actual" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$actual") >&2
  fail "installed files differ (< expected, > installed)"
fi
bad_dirs=$(cd "$prefix" && find . -type d ! -perm 755 -printf '%m %P\n')
[ -z "$bad_dirs" ] || fail "folders not 755: $bad_dirs"
[ -z "$(find "$prefix" -type l)" ] || fail "unexpected symbolic links"

# 2. The validators.
desktop_file=$prefix/share/applications/$app_id.desktop
out=$(desktop-file-validate "$desktop_file" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate complains: $out"
# Not even a pedantic remark.
out=$(appstreamcli validate --pedantic --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" 2>&1)
[ $? -eq 0 ] && [ "$(wc -l <<<"$out")" -eq 1 ] || fail "appstreamcli validate: $out"
grep -qx "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
  <(sed 's/^ *//' "$prefix/share/metainfo/$app_id.metainfo.xml") || fail "metainfo does not launch $app_id.desktop"

# 3. The command in bin is the launcher, without Qt; the program it starts
# lives in libexec. Then the installed program: its version, and its manual page documents every option of --help.
program=$prefix/bin/vocarta-menubar
libraries=$(ldd "$program") || fail "ldd $program failed"
! grep -qiE 'libQt|libicu' <<<"$libraries" || fail "the launcher loads Qt: $libraries"
[ "$("$program" --version)" = "vocarta-menubar $version" ] || fail "--version says: $("$program" --version)"
manual=$(zcat "$prefix/share/man/man1/vocarta-menubar.1.gz") || fail "manual page unreadable"
grep -q "^\.TH VOCARTA-MENUBAR 1 .*$version" <<<"$manual" || fail "manual page not of version $version"
options=$("$program" --help | grep -oE -- '--[a-z]+' | sort -u)
[ -n "$options" ] || fail "--help lists no options"
for option in $options; do
  grep -qF -- "${option//-/\\-}" <<<"$manual" || fail "manual page lacks $option"
done
man_warnings=$(zcat "$prefix/share/man/man1/vocarta-menubar.1.gz" | LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
  man --warnings -E UTF-8 -l - 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "man reports: $man_warnings"

# 4. Started from the prefix under a tray, at login: it takes its bundle from
# the prefix (a font taken out of that copy is missed; the build tree has all),
# opens no window, and a later request still reaches it.
rm "$prefix/share/vocarta-menubar/VocartaMenubar_VocartaMenubar.bundle/Resources/Fonts/Nunito_400Regular.ttf"
trayer --edge top --align right --widthtype pixel --width 120 --height 28 --SetDockType true \
  --transparent false --tint 0xdddddd >"$work/trayer.log" 2>&1 &
started+=($!)
wait_for 30 "system tray" sh -c 'xprop -root | grep -q "^_NET_SUPPORTING_WM_CHECK" && xdotool search --class trayer'
export PATH=$prefix/bin:$PATH
# No deployment is needed: the session store is empty, so it starts signed out.
VOCARTA_DEPLOYMENT_URL=http://127.0.0.1:9 vocarta-menubar --autostart >"$work/program.log" 2>&1 &
primary=$!
started+=($primary)
wait_for 60 "bundle lookup in the prefix" grep -qF "[Vocarta] Font not found: Nunito_400Regular.ttf" "$work/program.log"
out=$(timeout 60 vocarta-menubar --preferences 2>&1) || fail "the running copy did not take --preferences: $out"
wait_for 60 "settings window" xdotool search --all --onlyvisible --pid "$primary" --name '^Vocarta Menubar Settings$'
# The sign-in window comes (if at all) before later requests are served.
if xdotool search --all --onlyvisible --pid "$primary" --name '^Vocarta Settings$' >/dev/null 2>&1; then
  fail "--autostart opened the sign-in window"
fi
# The launcher became the program in the same process, under the same name.
[ "$(readlink "/proc/$primary/exe")" = "$prefix/libexec/vocarta-menubar/vocarta-menubar" ] ||
  fail "the running copy is $(readlink "/proc/$primary/exe")"
[ "$(cat "/proc/$primary/comm")" = vocarta-menubar ] || fail "the process is named $(cat "/proc/$primary/comm")"
window=$(xdotool search --all --onlyvisible --pid "$primary" --name '^Vocarta Menubar Settings$' | head -n 1)
wm_class=$(xprop -id "$window" WM_CLASS | sed -nE 's/.*= "([^"]*)", "([^"]*)"/\2/p')
startup_class=$(sed -nE 's/^StartupWMClass=(.*)/\1/p' "$desktop_file")
[ -n "$wm_class" ] && [ "$wm_class" = "$startup_class" ] ||
  fail "window class '$wm_class' is not StartupWMClass '$startup_class'"

# 5. The vocarta: scheme through the installed desktop file, for this session only.
export XDG_DATA_DIRS=$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}
update-desktop-database "$prefix/share/applications" || fail "update-desktop-database failed"
handler=$(xdg-mime query default x-scheme-handler/vocarta)
[ "$handler" = "$app_id.desktop" ] || fail "xdg-mime names '$handler' for vocarta:"
dbus-monitor --session "type='method_call',interface='$app_id.Instance'" >"$work/monitor.log" 2>&1 &
started+=($!)
wait_for 30 "bus monitor" grep -q NameLost "$work/monitor.log"
url='vocarta://auth/google#state=install-test'
# The started handler forwards the address and leaves: a second copy that
# stayed would never let xdg-open return.
out=$(timeout 60 xdg-open "$url" 2>&1) || fail "xdg-open: $out"
wait_for 30 "forwarded address" grep -qF "string \"$url\"" "$work/monitor.log"
kill -0 "$primary" 2>/dev/null || fail "the running copy is gone"
echo "install layout: all checks passed"
