#!/usr/bin/env bash
# Proves the README's test command on a machine that has nothing installed: builds a bare
# Debian 12 (bookworm, minbase) root with debootstrap from the mirror apt uses on this machine,
# puts a clean clone of one commit in it, and runs scripts/test.sh inside with chroot, as a new
# user would after cloning. Prints the result; exit status is the test command's.
# Usage (as root): scripts/fresh-machine-check.sh [COMMIT] [ROOT_DIR]
#   COMMIT defaults to HEAD; ROOT_DIR to /var/tmp/tarvola-fresh-root (emptied first, removed at
#   the end unless KEEP_ROOT=1). Takes half an hour or more: CI does not run it.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
root="${2:-/var/tmp/tarvola-fresh-root}"
[ "$(id -u)" -eq 0 ] || { echo "fresh-machine-check: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }

if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi

# The mirror of this machine's own bookworm sources (deb822 or one-line form).
mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '/^URIs:/ { print $2; exit }')
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
mirror="${mirror:-http://deb.debian.org/debian}"

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; --i)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  if [ "${KEEP_ROOT:-0}" != 1 ] && [ -n "$root" ] && ! findmnt -rn -o TARGET | grep -q "^$root/"; then rm -rf "$root"; fi
}
trap cleanup EXIT
mountIn() {  # mountIn TARGET MOUNT-ARGUMENTS...
  local target="$root$1"
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted+=("$target")
}

if findmnt -rn -o TARGET | grep -q "^$root/"; then echo "fresh-machine-check: $root still has mounts" >&2; exit 2; fi
rm -rf "$root"
mkdir -p "$root"
started=$SECONDS
echo "== debootstrap bookworm (minbase) from $mirror into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
  { tail -20 "$root.debootstrap.log"; exit 2; }

# The same package sources and name resolution as this machine; nothing else of its own.
rm -f "$root/etc/apt/sources.list"
mkdir -p "$root/etc/apt/sources.list.d"
cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null ||
  cp /etc/apt/sources.list "$root/etc/apt/sources.list"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

echo "== a clean clone of $commit"
git clone -q --no-hardlinks "$repo" "$root/root/tarvola"
git -C "$root/root/tarvola" checkout -q --detach "$commit"

mountIn /proc -t proc proc
mountIn /sys -t sysfs -o ro sysfs
mountIn /dev --bind /dev
mountIn /dev/pts --bind /dev/pts
mountIn /dev/shm -t tmpfs -o mode=1777 shm
mountIn /tmp -t tmpfs -o mode=1777 tmp

echo "== scripts/test.sh inside (log: $root.test.log)"
status=0
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  /bin/bash -c 'cd /root/tarvola && nice scripts/test.sh' >"$root.test.log" 2>&1 || status=$?
grep -E '^[0-9]+% tests passed|tests failed|\(Failed\)|\*\*\*Failed|Timeout' "$root.test.log" | tail -30 || true
echo "fresh-machine-check: commit $commit, scripts/test.sh exit $status, $(((SECONDS - started) / 60)) min"
exit "$status"
