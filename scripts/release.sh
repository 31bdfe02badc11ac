#!/usr/bin/env bash
# Makes the release artifacts of the checked-out commit in dist/:
#   tarvola-VERSION-linux-x86_64.tar.gz and tarvola_VERSION_amd64.deb   (CPack, from build-release/)
#   tarvola-VERSION-windows-x64.zip   (scripts/windows.sh: programs, data/, README.txt, licences)
#   tarvola-VERSION-web.zip           (scripts/web.sh: the files a static host serves)
# and prints each file's size and SHA-256. Reproducible: every time stamp is the commit's
# (SOURCE_DATE_EPOCH), archive entries are sorted with fixed owners and modes, and build paths
# are mapped out of the programs, so two runs on one commit give the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh --run dpkg-dev python3 git
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C
version=$(sed -nE 's/^project\(tarvola VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 2; }
jobs=${JOBS:-$(nproc)}
mapping="-ffile-prefix-map=$root/=./"

# Linux: an optimised build of the programs and the data set, packaged by CPack.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTARVOLA_TESTS=OFF -DTARVOLA_BENCH=OFF \
  -DCMAKE_C_FLAGS="$mapping" -DCMAKE_CXX_FLAGS="$mapping" > /dev/null
cmake --build build-release -j "$jobs" --target tarvola tarvola-capture data
# The data set's files carry the time they were generated; the packages carry the commit's.
find build-release/data -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
rm -rf build-release/packages
(cd build-release && cpack -G "TGZ;DEB" -B packages > /dev/null)
# CPack's tarball lists entries in directory order, which differs between file systems: the same
# files again, sorted, with root as owner.
tarball="build-release/packages/tarvola-$version-linux-x86_64.tar.gz"
unpacked=$(mktemp -d)
tar -xzf "$tarball" -C "$unpacked"
tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --format=gnu \
  -C "$unpacked" -cf - "tarvola-$version-linux-x86_64" | gzip -9n > "$tarball"
rm -rf "$unpacked"

# Windows and the web page, each built by its own script.
scripts/windows.sh
scripts/web.sh > /dev/null

rm -rf dist
mkdir -p dist
cp "build-release/packages/tarvola-$version-linux-x86_64.tar.gz" "build-release/packages/tarvola_${version}_amd64.deb" dist/
python3 scripts/deterministic-zip.py "dist/tarvola-$version-windows-x64.zip" "tarvola-$version-windows-x64" \
  build-windows/package
python3 scripts/deterministic-zip.py "dist/tarvola-$version-web.zip" "tarvola-$version-web" build-web/page

echo
echo "Release $version (commit $(git rev-parse --short HEAD), time stamps $(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ)):"
(cd dist && for file in *; do
  printf '  %-42s %10s bytes  sha256 %s\n' "$file" "$(stat -c %s "$file")" "$(sha256sum "$file" | cut -d' ' -f1)"
done)
