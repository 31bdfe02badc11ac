# Sourced by the scripts that try the project on a machine with nothing installed: makes a bare
# Debian 12 (bookworm, minbase) root with debootstrap from the mirror apt uses on this machine,
# with this machine's package sources and name resolution, mounts what programs inside need, and
# undoes it all on exit (the root is removed unless KEEP_ROOT=1).
#   bareRoot ROOT_DIR      build the root (emptied first)
#   inRoot COMMAND...      run a shell command line inside it, with a clean environment
# Needs root (debootstrap, chroot, mounts); installs debootstrap when missing.

bare_root=""
bare_mounted=()

bareRootCleanup() {
  local i
  for ((i = ${#bare_mounted[@]} - 1; i >= 0; --i)); do umount -l "${bare_mounted[i]}" 2>/dev/null || true; done
  if [ "${KEEP_ROOT:-0}" != 1 ] && [ -n "$bare_root" ] && ! grep -q "^$bare_root/" <<<"$(findmnt -rn -o TARGET)"; then
    rm -rf "$bare_root"
  fi
}

bareRootMount() {  # bareRootMount TARGET MOUNT-ARGUMENTS...
  local target="$bare_root$1"
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  bare_mounted+=("$target")
}

bareRoot() {
  bare_root="$1"
  [ "$(id -u)" -eq 0 ] || { echo "bare root: needs root (debootstrap, chroot, mounts)" >&2; return 2; }
  if ! command -v debootstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
  fi
  # The mirror of this machine's own bookworm sources (deb822 or one-line form).
  local mirror
  mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
  mirror="${mirror:-http://deb.debian.org/debian}"

  if grep -q "^$bare_root/" <<<"$(findmnt -rn -o TARGET)"; then echo "bare root: $bare_root still has mounts" >&2; return 2; fi
  trap bareRootCleanup EXIT
  rm -rf "$bare_root"
  mkdir -p "$bare_root"
  echo "== debootstrap bookworm (minbase) from $mirror into $bare_root"
  debootstrap --variant=minbase bookworm "$bare_root" "$mirror" >"$bare_root.debootstrap.log" 2>&1 ||
    { tail -20 "$bare_root.debootstrap.log"; return 2; }

  # The same package sources (binary ones only) and name resolution as this machine.
  rm -f "$bare_root/etc/apt/sources.list"
  mkdir -p "$bare_root/etc/apt/sources.list.d"
  local sources
  for sources in /etc/apt/sources.list.d/*.sources; do
    [ -e "$sources" ] && grep -Eq '^Types:(.* )?deb( |$)' "$sources" && cp "$sources" "$bare_root/etc/apt/sources.list.d/"
  done
  [ -e /etc/apt/sources.list ] && grep '^deb ' /etc/apt/sources.list > "$bare_root/etc/apt/sources.list" || true
  cp -L /etc/resolv.conf "$bare_root/etc/resolv.conf"

  bareRootMount /proc -t proc proc
  bareRootMount /sys -t sysfs -o ro sysfs
  bareRootMount /dev --bind /dev
  bareRootMount /dev/pts --bind /dev/pts
  bareRootMount /dev/shm -t tmpfs -o mode=1777 shm
  bareRootMount /tmp -t tmpfs -o mode=1777 tmp
}

inRoot() {
  chroot "$bare_root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$*"
}
