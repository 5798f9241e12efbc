#!/usr/bin/env bash
# Installs a Debian package of Rowlark the way a user would, with apt on a fresh Debian 12, and
# starts both programs there. The fresh system is a minimal root made by debootstrap in a scratch
# folder; the package brings in everything else it needs through its dependencies. Needs root and
# the Debian archive; takes minutes, so it is not part of the test run.
#
# Usage: tests/packaging/install-in-clean-root.sh PACKAGE.deb
set -euo pipefail
package=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || { echo "run as root: debootstrap and chroot need it" >&2; exit 1; }
command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap

root=$(mktemp -d /var/tmp/rowlark-clean-root-XXXXXX)
# The root of a system is readable by all: apt and man-db drop privileges inside it.
chmod 755 "$root"
# A process that has just ended may still hold a mount: detach them lazily, then remove the root.
cleanup() {
  umount --lazy "$root/proc" "$root/dev" 2>/dev/null || true
  rm -rf --one-file-system "$root" || true
}
trap cleanup EXIT

echo "== debootstrap bookworm into $root"
debootstrap --variant=minbase bookworm "$root" >/dev/null
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
cp "$package" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive HOME=/root bash -euo pipefail -c "$1"; }

echo "== apt install ./$(basename "$package")"
in_root "apt-get update -qq && apt-get install -y -qq ./tmp/$(basename "$package") >/dev/null"

echo "== rowlark-compare"
in_root 'rowlark-compare --version
  rowlark-compare --help | head -1
  printf "id,name\n1,a\n2,b\n" >/tmp/a.csv
  printf "id,name\n1,a\n2,c\n" >/tmp/b.csv
  status=0; rowlark-compare /tmp/a.csv /tmp/b.csv || status=$?
  [ $status -eq 1 ]'

echo "== man rowlark-compare (with man-db, as on a desktop system)"
in_root 'apt-get install -y -qq man-db >/dev/null && MANWIDTH=80 man rowlark-compare 2>/dev/null | head -4'

echo "== rowlark, on a virtual display for five seconds"
in_root 'apt-get install -y -qq xvfb xauth >/dev/null
  status=0; xvfb-run -a timeout 5 rowlark /tmp/a.csv /tmp/b.csv || status=$?
  [ $status -eq 124 ] || { echo "rowlark ended early with status $status" >&2; exit 1; }
  echo "rowlark was still running after five seconds"'
echo "installed and started on a fresh Debian 12"
