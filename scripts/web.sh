#!/usr/bin/env bash
# Builds the demo's web page: installs what is missing (the native build's packages, emscripten,
# node and npm, chromium for the tests), builds libopenmpt for WebAssembly from Debian's source
# package (once, into build-web/deps/), generates the data set with the native generator
# (build/data), compiles the core and the web host to WebAssembly in build-web/ with the data set
# packaged, and the music engine with libopenmpt into the AudioWorklet's script, and gathers
# exactly the files a static host serves (the page, its script, the music worklet, the program
# and its data, libopenmpt's licence) in build-web/page/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(emscripten node-acorn python3 chromium dpkg-dev)  # dpkg-dev: dpkg-source, for libopenmpt's source
command -v node > /dev/null || packages+=(nodejs)
command -v npm > /dev/null || packages+=(npm)
scripts/install-deps.sh "${packages[@]}"
# Debian's emscripten finds its acorn through NODE_PATH when another node comes first on PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
jobs=${JOBS:-$(nproc)}
say() { echo "web.sh: $*"; }
die() { echo "web.sh: $*" >&2; exit 1; }

# ---- libopenmpt for WebAssembly --------------------------------------------------------------
# The native build's libopenmpt version, built from Debian's source package as a static library
# into build-web/deps/ (once: skipped while the native version, emscripten and this recipe stay
# the same; about 5 minutes on two cores). Every optional codec is off: the page plays one .it.
deps=$PWD/build-web/deps
# Bump when the way the library is built changes, so that a built one is rebuilt.
deps_recipe=1
# shellcheck source=lib/debian-source.sh
. scripts/lib/debian-source.sh
libopenmpt_source=$(nativeSource libopenmpt-dev) || die "libopenmpt-dev is not installed (scripts/install-deps.sh installs it)"
wanted="recipe $deps_recipe; $(emcc --version | sed -n 1p); $libopenmpt_source"
if [ "$(cat "$deps/.built" 2>/dev/null)" = "$wanted" ]; then
  say "libopenmpt already built: $libopenmpt_source"
else
  ensureDebSrc "$PWD/build-web"
  rm -rf "$deps" build-web/deps-src
  src=$PWD/build-web/deps-src/libopenmpt
  read -r package version <<<"$libopenmpt_source"
  fetchDebianSource "$package" "$version" yes "$PWD/build-web/deps-src/download" "$src"
  say "building libopenmpt $version for WebAssembly"
  started=$SECONDS
  flags="-O2 -ffile-prefix-map=$src=."
  (cd "$src" && emconfigure ./configure --host=wasm32 --build=x86_64-pc-linux-gnu --prefix="$deps" \
    --enable-static --disable-shared CFLAGS="$flags" CXXFLAGS="$flags" \
    --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
    --without-pulseaudio --without-portaudio --without-portaudiocpp --without-sdl2 --without-sndfile \
    --without-flac --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc &&
    emmake make -j "$jobs" && emmake make install) >build-web/deps-src/libopenmpt.log 2>&1 ||
    { tail -20 build-web/deps-src/libopenmpt.log; die "libopenmpt failed to build for WebAssembly"; }
  mkdir -p "$deps/licences"
  cp "$src/LICENSE" "$deps/licences/libopenmpt.txt"
  echo "$wanted" >"$deps/.built"
  rm -rf build-web/deps-src
  say "libopenmpt built in $((SECONDS - started)) s"
fi

# ---- The data set, the programs and the page ---------------------------------------------------
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs" --target data tarvola-capture
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DTARVOLA_WEB_DATA="$PWD/build/data" \
  -DTARVOLA_WEB_LIBOPENMPT="$deps" -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$PWD/=./"
cmake --build build-web -j "$jobs"
rm -rf build-web/page
mkdir -p build-web/page
cp web/index.html web/tarvola.js build-web/tarvola-web.wasm build-web/tarvola-web.data build-web/page/
cp build-web/tarvola-music.js build-web/page/music_worklet.js
# The worklet carries libopenmpt compiled in: its licence goes with the page.
mkdir -p build-web/page/licences
cp "$deps/licences/libopenmpt.txt" build-web/page/licences/
# emscripten's file packager names the data package by a random UUID, read only by a browser
# cache this page does not use; one taken from the data's SHA-256 keeps the page the same bytes
# from build to build.
uuid=$(sha256sum build-web/tarvola-web.data | cut -c1-32 | sed -E 's/(.{8})(.{4})(.{4})(.{4})(.{12})/\1-\2-\3-\4-\5/')
sed -E "s/\"package_uuid\":\"[0-9a-f-]{36}\"/\"package_uuid\":\"$uuid\"/" build-web/tarvola-web.js \
  > build-web/page/tarvola-web.js
grep -q "\"package_uuid\":\"$uuid\"" build-web/page/tarvola-web.js ||
  { echo "web.sh: no package_uuid found in tarvola-web.js to make repeatable" >&2; exit 1; }

echo
echo "The page is in build-web/page/. Serve it and open http://127.0.0.1:8000/ :"
echo "    python3 -m http.server -b 127.0.0.1 -d build-web/page 8000"
