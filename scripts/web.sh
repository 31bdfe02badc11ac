#!/usr/bin/env bash
# Builds the demo's web page: installs what is missing (the native build's packages, emscripten,
# node and npm, chromium for the tests; the page's npm packages in web/), generates the data set
# with the native generator (build/data), compiles the core and the web host to WebAssembly in
# build-web/ with the data set packaged, and gathers exactly the files a static host serves (the
# page, its script, the music worklet, the program and its data) in build-web/page/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(emscripten node-acorn python3 chromium)
command -v node > /dev/null || packages+=(nodejs)
command -v npm > /dev/null || packages+=(npm)
scripts/install-deps.sh "${packages[@]}"
# Debian's emscripten finds its acorn through NODE_PATH when another node comes first on PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
(cd web && npm ci --no-audit --no-fund)

jobs=${JOBS:-$(nproc)}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs" --target data tarvola-capture
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DTARVOLA_WEB_DATA="$PWD/build/data"
cmake --build build-web -j "$jobs"
rm -rf build-web/page
mkdir -p build-web/page
cp web/index.html web/tarvola.js web/music_worklet.js web/module_player.js \
   web/node_modules/chiptune3/libopenmpt.worklet.js \
   build-web/tarvola-web.wasm build-web/tarvola-web.data build-web/page/
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
