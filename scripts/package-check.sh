#!/usr/bin/env bash
# The .deb on a machine that has nothing installed: in a bare Debian 12 root, `apt-get install
# ./tarvola_VERSION_amd64.deb` must pull only runtime packages (no compiler, no -dev package),
# and the installed tarvola-capture, started from /, must find its installed data set and render
# the committed frames. Prints one line per check; exit 1 when one fails.
# Usage (as root): scripts/package-check.sh DEB [ROOT_DIR]   (ROOT_DIR: /var/tmp/tarvola-package-root)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:?usage: $0 DEB [ROOT_DIR]}")
root="${2:-/var/tmp/tarvola-package-root}"
source scripts/lib/bare-root.sh
source scripts/lib/committed-frames.sh
loadCommittedFrames
command -v identify >/dev/null || { echo "package-check: needs ImageMagick's identify (package imagemagick)" >&2; exit 2; }
started=$SECONDS
bareRoot "$root"
cp "$deb" "$root/root/"

failed=0
check() {  # check DESCRIPTION TEST-COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}

inRoot "dpkg-query -W -f '\${Package}\n' | sort" > "$root.before"
status=0
inRoot "apt-get update -qq && apt-get install -y -qq ./root/$(basename "$deb")" > "$root.install.log" 2>&1 || status=$?
check "apt-get install ./$(basename "$deb") in a bare Debian 12 root" test "$status" = 0
[ "$status" = 0 ] || tail -20 "$root.install.log"
inRoot "dpkg-query -W -f '\${Package}\n' | sort" > "$root.after"
pulled=$(comm -13 "$root.before" "$root.after")
build_tools=$(grep -E -- '-dev$|^(gcc|g\+\+|cpp|clang|cmake|make|binutils)(-[0-9.]+)?$' <<< "$pulled" || true)
check "it pulled $(wc -l <<< "$pulled") packages, none for building${build_tools:+: $(echo $build_tools)}" \
  test -z "$build_tools"

status=0
inRoot "cd / && tarvola-capture --version && tarvola-capture --no-progress --fps 30 --png /root/frames --frames-at $committed_times" \
  > "$root.capture.log" 2>&1 || status=$?
check "the installed tarvola-capture runs from / ($(head -1 "$root.capture.log"))" test "$status" = 0
[ "$status" = 0 ] || tail -5 "$root.capture.log"
differ=$(differingFrames "$root/root/frames")
check "its ${#committed_frames[@]} frames are the committed ones${differ:+ (differing: $differ)}" test -z "$differ"

echo "package-check: $(basename "$deb"), $(((SECONDS - started) / 60)) min"
exit "$failed"
