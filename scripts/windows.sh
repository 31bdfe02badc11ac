#!/usr/bin/env bash
# Builds the Windows x64 demo into build-windows/ with Debian's mingw-w64 cross compiler:
#   tarvola.exe           the demo (GUI program: no console; its messages are message boxes)
#   tarvola-capture.exe   the offline capture renderer (console program)
#   data/                 the data set, made by the native generator (build/data; deterministic)
#   package/              what the release zips (scripts/release.sh): the two programs, data/,
#                         README.txt (scripts/windows-README.txt) and licences/
# The libraries are the native build's versions, built from Debian's source packages as static
# libraries into build-windows/deps/ (once: skipped while the native versions, the compiler,
# the toolchain file and this recipe stay the same): zlib and libpng (the capture's PNG output), libopenmpt, SDL2. Each download is
# checked against the SHA-256 sums its .dsc lists. Both programs need only Windows' own DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
deps=$out/deps
jobs=${JOBS:-$(nproc)}
mkdir -p "$out"
host=x86_64-w64-mingw32
# Bump when the way the libraries are built changes, so that built ones are rebuilt.
deps_recipe=2

say() { echo "windows.sh: $*"; }
die() { echo "windows.sh: $*" >&2; exit 1; }

# Install what is missing; a tool still missing afterwards ends the run with one line.
scripts/install-deps.sh g++-mingw-w64-x86-64-posix dpkg-dev ||
  say "installing packages failed; checking what is there"
command -v $host-g++-posix >/dev/null ||
  die "no $host-g++-posix: install the Debian package g++-mingw-w64-x86-64-posix"
command -v dpkg-source >/dev/null || die "no dpkg-source: install the Debian package dpkg-dev"

# ---- The libraries -------------------------------------------------------------------------

# shellcheck source=lib/debian-source.sh
. scripts/lib/debian-source.sh
libs=(zlib1g-dev libpng-dev libopenmpt-dev libsdl2-dev)  # in build order
declare -A source_of
wanted="recipe $deps_recipe; $($host-gcc-posix --version | sed -n 1p); $(sha256sum <cmake/mingw-w64.cmake | cut -c1-16)"
for dev in "${libs[@]}"; do
  source_of[$dev]=$(nativeSource "$dev") || die "$dev is not installed (scripts/install-deps.sh installs it)"
  wanted+="; ${source_of[$dev]}"
done

# Fetches source package $1 at version $2 into $3 (see fetchDebianSource; $4 is its STRICT); its
# licence file $5 is kept as deps/licences/$6.txt. The exact version is required for SDL2 and
# libopenmpt (they make the sound and the window); zlib and libpng only write the capture's PNG
# files.
fetch_source() {
  local package=$1 version=$2 dir=$3 strict=$4 licence=$5 name=$6
  fetchDebianSource "$package" "$version" "$strict" "$out/deps-src/download" "$dir"
  mkdir -p "$deps/licences"
  cp "$dir/$licence" "$deps/licences/$name.txt"
  echo "$package $fetched_version" >>"$deps/VERSIONS.new"
}

build_deps() {
  ensureDebSrc "$out"
  rm -rf "$deps" "$out/deps-src"
  mkdir -p "$deps"
  local src=$out/deps-src started=$SECONDS
  # Only the libraries built here are seen by pkg-config, never the build machine's.
  export PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_PATH=
  local cross=(CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib)
  local autotools=(--host=$host --prefix="$deps" --enable-static --disable-shared)

  read -r pkg ver <<<"${source_of[zlib1g-dev]}"
  fetch_source "$pkg" "$ver" "$src/zlib" no LICENSE zlib
  say "building zlib"
  (cd "$src/zlib" && env "${cross[@]}" CHOST=$host CFLAGS="-O2 -ffile-prefix-map=$src/zlib=." \
    ./configure --static --prefix="$deps" && make -j "$jobs" libz.a && make install) >"$src/zlib.log" 2>&1 ||
    { tail -20 "$src/zlib.log"; die "zlib failed to build"; }

  read -r pkg ver <<<"${source_of[libpng-dev]}"
  fetch_source "$pkg" "$ver" "$src/libpng" no LICENSE libpng
  say "building libpng"
  (cd "$src/libpng" && ./configure "${autotools[@]}" "${cross[@]}" CPPFLAGS="-I$deps/include" \
    LDFLAGS="-L$deps/lib" CFLAGS="-O2 -ffile-prefix-map=$src/libpng=." &&
    make -j "$jobs" && make install) >"$src/libpng.log" 2>&1 ||
    { tail -20 "$src/libpng.log"; die "libpng failed to build"; }

  read -r pkg ver <<<"${source_of[libopenmpt-dev]}"
  fetch_source "$pkg" "$ver" "$src/libopenmpt" yes LICENSE libopenmpt
  say "building libopenmpt"
  (cd "$src/libopenmpt" && ./configure "${autotools[@]}" "${cross[@]}" \
    CFLAGS="-O2 -ffile-prefix-map=$src/libopenmpt=." CXXFLAGS="-O2 -ffile-prefix-map=$src/libopenmpt=." \
    --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-pulseaudio \
    --without-portaudio --without-portaudiocpp --without-sdl2 --without-sndfile --without-flac \
    --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc &&
    make -j "$jobs" && make install) >"$src/libopenmpt.log" 2>&1 ||
    { tail -20 "$src/libopenmpt.log"; die "libopenmpt failed to build"; }

  read -r pkg ver <<<"${source_of[libsdl2-dev]}"
  fetch_source "$pkg" "$ver" "$src/sdl2" yes LICENSE.txt SDL2
  say "building SDL2"
  (cmake -S "$src/sdl2" -B "$src/sdl2-build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF &&
    cmake --build "$src/sdl2-build" -j "$jobs" && cmake --install "$src/sdl2-build") >"$src/sdl2.log" 2>&1 ||
    { tail -20 "$src/sdl2.log"; die "SDL2 failed to build"; }

  mv "$deps/VERSIONS.new" "$deps/VERSIONS"
  echo "$wanted" >"$deps/.built"
  rm -rf "$src"
  say "libraries built in $((SECONDS - started)) s: $(paste -sd, "$deps/VERSIONS" | sed 's/,/, /g')"
}

if [ "$(cat "$deps/.built" 2>/dev/null)" = "$wanted" ]; then
  say "libraries already built: $(paste -sd, "$deps/VERSIONS" | sed 's/,/, /g')"
else
  build_deps
fi

# ---- The data set and the programs ----------------------------------------------------------

# The native build generates the data set (the cross build has no generator).
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs" --target data tarvola-capture >/dev/null

# pkg-config sees only the libraries above and gives their static link lines (with SDL2's
# Windows system libraries); the toolchain finds them through CMAKE_PREFIX_PATH.
# A changed toolchain file takes effect only in a fresh configuration (which rebuilds everything).
fresh=()
[ "$out/CMakeCache.txt" -nt cmake/mingw-w64.cmake ] || fresh=(--fresh)
PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_PATH= \
  cmake "${fresh[@]}" -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$deps" -DPKG_CONFIG_ARGN=--static -DTARVOLA_TESTS=OFF -DTARVOLA_BENCH=OFF >/dev/null
PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_PATH= \
  cmake --build "$out" -j "$jobs" --target tarvola tarvola-capture
for exe in tarvola tarvola-capture; do
  # Stripped by the linker (see cmake/mingw-w64.cmake).
  grep -q 'no symbols' <<<"$($host-nm "$out/$exe.exe" 2>&1)" || die "$exe.exe is not stripped"
  # Only Windows' own DLLs: no mingw runtime (libstdc++, libgcc, winpthread) to ship beside it.
  foreign=$($host-objdump -p "$out/$exe.exe" | sed -n 's/^\s*DLL Name: //p' |
    grep -viE '^(kernel32|user32|gdi32|winmm|imm32|ole32|oleaut32|shell32|setupapi|version|advapi32|msvcrt|cfgmgr32|dinput8|hid|psapi)\.dll$' || true)
  [ -z "$foreign" ] || die "$exe.exe needs DLLs Windows does not have: $foreign"
done
rm -rf "$out/data"
cp -a build/data "$out/data"

# The release's folder: README.txt with Windows line ends, every linked library's licence (the
# mingw-w64 runtime and GCC's runtime libraries as Debian ships their terms).
version=$(sed -nE 's/^project\(tarvola VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
package=$out/package
rm -rf "$package"
mkdir -p "$package/licences"
cp "$out/tarvola.exe" "$out/tarvola-capture.exe" "$package/"
cp -r build/data "$package/data"
rm -f "$package/data/.stamp"
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' scripts/windows-README.txt >"$package/README.txt"
cp "$deps"/licences/*.txt "$package/licences/"
cp /usr/share/doc/mingw-w64-common/copyright "$package/licences/mingw-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$package/licences/gcc-runtime-libraries.txt"
cp /usr/share/common-licenses/GPL-3 "$package/licences/GPL-3.txt"
say "built $out/tarvola.exe, $out/tarvola-capture.exe, $out/data/ and $out/package/"
