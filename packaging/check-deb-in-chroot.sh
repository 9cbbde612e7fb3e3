#!/usr/bin/env bash
# Installs the Debian package into a throwaway Debian 12 root and starts it
# there, so the package's own dependencies are all it gets (run as root):
#   packaging/check-deb-in-chroot.sh dist/vocarta-menubar_<version>_<arch>.deb [ROOT]
# Makes ROOT (default /tmp/vocarta-chroot) with debootstrap when it is not
# there yet, installs the package with dpkg -i and its dependencies with apt,
# prints --version, then starts the program on the offscreen platform: it must
# load its views and reach the point where it looks for a tray, with no QML
# module or resource missing.
set -euo pipefail
deb=$(realpath "$1")
root=${2:-/tmp/vocarta-chroot}
if [ ! -x "$root/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || apt-get install -y -q debootstrap
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
cp "$deb" "$root/tmp/package.deb"
chroot "$root" dpkg -i /tmp/package.deb || true # leaves it unconfigured: dependencies missing
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get -f install -y -q --no-install-recommends >/dev/null
chroot "$root" dpkg-query -W -f='${Package} ${Version} ${Status}\n' vocarta-menubar
chroot "$root" vocarta-menubar --version
log=$(chroot "$root" sh -c 'mkdir -p /tmp/home /tmp/run && chmod 700 /tmp/run &&
  HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/run QT_QPA_PLATFORM=offscreen VOCARTA_TRAY_WAIT_MS=500 \
  VOCARTA_DEPLOYMENT_URL=http://127.0.0.1:9 timeout 30 vocarta-menubar 2>&1; true')
echo "$log"
if grep -qiE 'not installed|could not load|is not a type|error' <<<"$log" ||
  ! grep -qF '[Vocarta] No system tray' <<<"$log"; then
  echo "check-deb-in-chroot: the installed program did not start cleanly" >&2
  exit 1
fi
echo "check-deb-in-chroot: installed and started in $root"
