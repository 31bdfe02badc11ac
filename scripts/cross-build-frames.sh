#!/usr/bin/env bash
# The programme's frames, bit for bit, from any build: renders with BUILD_DIR/tarvola-capture the
# fixed times committed in tests/tools/capture/programme_frames_test.cpp (30 fps) and a dense run of
# the metaballs scene and the finale (every 0.1 s of 44.5-80 s and 124-166 s) and compares their
# ImageMagick pixel signatures with the committed ones: the fixed times one by one, the dense run
# as one SHA-256 over its signatures in frame order. Exit 1 when any build differs.
# Usage: scripts/cross-build-frames.sh BUILD_DIR...   (each holding a built tarvola-capture)
# The data set is BUILD_DIR/data when that build made one, else build/data. A Windows build
# (tarvola-capture.exe) runs through $WINE, with the WINE* variables of the caller's environment
# (scripts/wine-test.sh sets them).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
# After an intended change of the pictures, set this to the digest the script prints.
dense_expected=b4f84f12408a34ae6189b724d1aa44fc2189d835329d5277f624a8455a405a7f

[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR..." >&2; exit 2; }
source scripts/lib/committed-frames.sh
loadCommittedFrames

failed=0
for build in "$@"; do
  build=$(cd "$build" && pwd)
  capture=("$build/tarvola-capture")
  [ -x "$capture" ] || [ ! -f "$capture.exe" ] || capture=("${WINE:-wine}" "$capture.exe")
  data="$build/data"
  [ -e "$data/.stamp" ] || data="$root/build/data"
  [ -f "${capture[-1]}" ] && [ -e "$data/.stamp" ] || { echo "FAIL $build: no tarvola-capture or no data set"; failed=1; continue; }
  work=$(mktemp -d /tmp/tarvola-cross-XXXXXX)
  ln -s "$data" "$work/data"
  started=$SECONDS
  (cd "$work" &&
     "${capture[@]}" --no-progress --fps 30 --png fixed --frames-at "$committed_times" &&
     "${capture[@]}" --no-progress --fps 10 --from 44.5 --to 80 --png scene3 &&
     "${capture[@]}" --no-progress --fps 10 --from 124 --to 166 --png finale) >"$work/log" 2>&1 ||
    { echo "FAIL $build: the capture failed:"; tail -5 "$work/log"; failed=1; rm -rf "$work"; continue; }
  differ=$(differingFrames "$work/fixed")
  dense=$(identify -format '%#\n' "$work"/scene3/frame-*.png "$work"/finale/frame-*.png | sha256sum | cut -d' ' -f1)
  frames=$(ls "$work"/scene3 "$work"/finale | grep -c '\.png$')
  if [ -z "$differ" ] && [ "$dense" = "$dense_expected" ]; then
    echo "ok   $build: ${#committed_frames[@]} fixed times and $frames dense frames as committed ($((SECONDS - started)) s)"
  else
    echo "FAIL $build: fixed times differing: ${differ:-none}; dense digest of $frames frames $dense"
    failed=1
  fi
  rm -rf "$work"
done
exit "$failed"
