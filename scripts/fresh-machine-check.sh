#!/usr/bin/env bash
# Proves the README's test command on a machine that has nothing installed: puts a clean clone
# of one commit in a bare Debian 12 root and runs scripts/test.sh inside with chroot, as a new
# user would after cloning. Prints the result; exit status is the test command's.
# Usage (as root): scripts/fresh-machine-check.sh [COMMIT] [ROOT_DIR]
#   COMMIT defaults to HEAD; ROOT_DIR to /var/tmp/tarvola-fresh-root (emptied first, removed at
#   the end unless KEEP_ROOT=1). Takes half an hour or more: CI does not run it.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
root="${2:-/var/tmp/tarvola-fresh-root}"
source scripts/lib/bare-root.sh
started=$SECONDS
bareRoot "$root"

echo "== a clean clone of $commit"
git clone -q --no-hardlinks "$repo" "$root/root/tarvola"
git -C "$root/root/tarvola" checkout -q --detach "$commit"

echo "== scripts/test.sh inside (log: $root.test.log)"
status=0
inRoot 'cd /root/tarvola && nice scripts/test.sh' >"$root.test.log" 2>&1 || status=$?
grep -E '^[0-9]+% tests passed|tests failed|\(Failed\)|\*\*\*Failed|Timeout' "$root.test.log" | tail -30 || true
echo "fresh-machine-check: commit $commit, scripts/test.sh exit $status, $(((SECONDS - started) / 60)) min"
exit "$status"
