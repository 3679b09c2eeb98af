#!/bin/bash
# Shows the README's two commands working on a machine where nothing is
# installed: a minimal Debian 12 root made with debootstrap, a fresh clone of
# this repository inside it, then `make run` (no display there: the headless
# demonstration) and `make test`, as root inside the root.
#   tools/fresh_machine_check.sh [ROOT_DIR]     (as root; takes a while)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/tmp/vellumtone-fresh-root}
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
if [ ! -x "$root/usr/bin/make" ]; then
  debootstrap --variant=minbase --include=git,make,ca-certificates bookworm "$root" \
    http://deb.debian.org/debian
fi
for point in proc sys dev dev/pts; do
  mkdir -p "$root/$point"
  case "$point" in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sys "$root/sys" ;;
    *) mount --bind "/$point" "$root/$point" ;;
  esac
  mounted+=("$root/$point")
done
rm -rf "$root/root/vellumtone"
git clone -q "$repo" "$root/root/vellumtone"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb CI=true \
  bash -c 'cd /root/vellumtone && make run && make test'
