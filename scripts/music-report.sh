#!/usr/bin/env bash
# Measures the demo's music and pictures: renders the whole demo with tarvola-capture (sound as
# WAV, frames as PNG at 60 fps) and prints tarvola-music-report's table, then the flashes per
# scene against WCAG 2.3.1 (tarvola-flash-report). With a second argument
# it also writes sox spectrograms there: the whole render and 16 s around each scene cut.
# Usage: scripts/music-report.sh [BUILD_DIR] [SPECTROGRAM_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
spectra=${2:-}
work=$(mktemp -d /tmp/tarvola-music-report.XXXXXX)
trap 'rm -rf "$work"' EXIT

cd "$build"
./tarvola-capture --no-progress --fps 60 --wav "$work/demo.wav" --png "$work/frames" >/dev/null
./tarvola-music-report --wav "$work/demo.wav" --module data/kyr.it --frames "$work/frames"
./tarvola-flash-report --frames "$work/frames"

if [ -n "$spectra" ]; then
  mkdir -p "$spectra"
  # The scene cuts and the end, from the capture's list of the scene slots.
  cuts=$(./tarvola-capture --list-scenes | awk -F'\t' 'NR > 1 { printf "%g ", $2 }')
  end=$(./tarvola-capture --list-scenes | awk -F'\t' 'END { printf "%g", $3 }')
  sox "$work/demo.wav" -n trim 0 "$end" remix - spectrogram -x 1600 -y 513 -z 90 -t "tarvola, 0-$end s" \
      -o "$spectra/whole.png"
  for cut in $cuts; do
    sox "$work/demo.wav" -n trim "$(awk "BEGIN{print $cut - 8}")" 16 remix - spectrogram -x 800 -y 513 -z 90 \
        -t "cut at $cut s (centre)" -o "$spectra/cut-$cut.png"
  done
fi
