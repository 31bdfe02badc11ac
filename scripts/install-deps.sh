#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages tarvola needs. `--run` installs only what building and
# running the demo need (scripts/run.sh); without it, also the tests', benchmarks', fuzzers' and
# measuring tools' packages. Packages given as further arguments are installed too
# (scripts/web.sh and scripts/windows.sh add their own). Idempotent: installs only what is
# missing; uses sudo when not run as root.
set -euo pipefail

runOnly=0
if [ "${1:-}" = "--run" ]; then
  runOnly=1
  shift
fi

# Build and run: the compiler, the libraries the programs link, the data-set generator's.
runtime=(
  cmake g++ make pkg-config
  libopenmpt-dev         # plays the Impulse Tracker module, reports its rows for the syncs
  libsdl2-dev            # the demo's window, audio output, message box, input
  libfreetype-dev libpng-dev fonts-dejavu-core   # text in the pictures; PNG frames, the contact sheet
  fonts-dejavu-extra     # DejaVuSansCondensed-Bold, the lettering of the logo pictures
)
# Tests, benchmarks, hardening and measuring.
checks=(
  # tests and benchmarks
  libgtest-dev libbenchmark-dev
  imagemagick            # independent TGA/PNG reader and writer for the round-trip tests
  assimp-utils lib3ds-dev   # independent 3DS readers and writer (assimp, 3dsdump) for the mesh tests
  # music
  libxmp-dev             # second, independent module loader for the module tests
  openmpt123 sox         # render the module to WAV and measure it by hand
  libsndfile1-dev libfftw3-dev   # the music report: WAV reading, spectra (ffmpeg measures loudness)
  # offline capture renderer
  ffmpeg                 # --mp4: H.264 + AAC encoding through a pipe (optional at run time)
  # whole-program tests
  xvfb                   # a virtual X server started by the test
  xfonts-base            # X core fonts: SDL's X11 message box draws its text with them (xvfb only recommends them)
  matchbox-window-manager  # a window manager, so full screen means what it does on a desktop
  xdotool                # finds the window and presses keys
  wmctrl                 # asks the window manager to close a window, lists windows by caption
  x11-utils              # xprop, to see the window manager is up
  # hardening checks (fuzzers, ThreadSanitizer; the ASan runs use g++)
  clang libclang-rt-14-dev   # libFuzzer and the sanitizer runtimes for clang
  clang-format           # the layout check (scripts/check-format.sh)
  dpkg-dev               # dpkg-shlibdeps: the .deb's runtime dependencies (scripts/release.sh)
)

packages=("${runtime[@]}")
[ "$runOnly" = 1 ] || packages+=("${checks[@]}")
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) == *'install ok installed'* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
