# Sourced by the scripts that build the native build's libraries from Debian's source packages
# for another target (scripts/windows.sh, scripts/web.sh). The caller defines `say` and `die`.
#   nativeSource DEV_PACKAGE                     prints "SOURCE VERSION" behind an installed -dev package
#   ensureDebSrc WORK_DIR                        adds deb-src entries when apt has none
#   verifyDsc DSC                                checks every file a .dsc lists against its SHA-256 sum and size
#   fetchDebianSource PACKAGE VERSION STRICT DOWNLOAD_DIR DEST_DIR
#                                                downloads, checks and unpacks (Debian's patches applied)
#                                                a source package into DEST_DIR; sets `fetched_version`
debian_sudo=()
[ "$(id -u)" -eq 0 ] || debian_sudo=(sudo)

nativeSource() { dpkg-query -W -f='${source:Package} ${source:Version}' "$1"; }

# Adds deb-src entries mirroring the machine's deb822 "Types: deb" entries when apt has none.
ensureDebSrc() {
  local work=$1
  if ! grep -qsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources; then
    local list=/etc/apt/sources.list.d/debian-src.sources
    say "adding the source entries of the Debian archive ($list)"
    mkdir -p "$work"
    awk 'BEGIN { RS = ""; ORS = "\n" }
         /(^|\n)Types:[ \t]*deb([ \t]|\n|$)/ {
           n = split($0, line, "\n")
           for (i = 1; i <= n; i++) {
             if (line[i] ~ /^#/) continue
             print (line[i] ~ /^Types:/ ? "Types: deb-src" : line[i])
           }
           print ""
         }' /etc/apt/sources.list.d/*.sources >"$work/deb-src.sources"
    [ -s "$work/deb-src.sources" ] || die "found no deb822 'Types: deb' entry to copy into $list"
    "${debian_sudo[@]}" cp "$work/deb-src.sources" "$list"
    "${debian_sudo[@]}" apt-get update -qq
  elif ! grep -q '^Version:' <<<"$(apt-cache showsrc zlib 2>/dev/null)"; then
    "${debian_sudo[@]}" apt-get update -qq
  fi
}

# Checks every file the .dsc lists against its SHA-256 sum and size.
verifyDsc() {
  local dsc=$1 dir count=0 sum size name actual
  dir=$(dirname "$dsc")
  while read -r sum size name; do
    [ -f "$dir/$name" ] || die "$name, listed in $(basename "$dsc"), was not downloaded"
    actual=$(sha256sum "$dir/$name" | cut -d' ' -f1)
    [ "$actual" = "$sum" ] || die "$name: SHA-256 $actual, but $(basename "$dsc") says $sum"
    [ "$(stat -c %s "$dir/$name")" = "$size" ] || die "$name: not the $size bytes $(basename "$dsc") says"
    count=$((count + 1))
  done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/s/^ \([0-9a-f]\{64\} [0-9]* .*\)/\1/p' "$dsc")
  [ "$count" -gt 0 ] || die "$(basename "$dsc") lists no SHA-256 sums"
}

# Downloads source package $1 at version $2 into $4, checks it and unpacks it into $5. With
# STRICT ($3) = yes only that version will do (the libraries that make the sound or the
# window); with no, when the archive no longer holds it, the newest downloadable revision of the
# same upstream version is taken, with a line saying so.
fetchDebianSource() {
  local package=$1 version=$2 strict=$3 download=$4 dir=$5 try dsc
  local candidates=("$version")
  if [ "$strict" = no ]; then
    local upstream=${version#*:}
    upstream=${upstream%-*}
    # Newest first (sort -V orders these Debian revisions as dpkg does).
    mapfile -t -O 1 candidates < <(apt-cache showsrc "$package" | sed -n 's/^Version: //p' |
      awk -v up="$upstream" '{ v = $0; sub(/^[0-9]+:/, "", v); sub(/-[^-]*$/, "", v); if (v == up) print }' |
      sort -u -r -V)
  fi
  mkdir -p "$download"
  for try in "${candidates[@]}"; do
    if (cd "$download" && apt-get source -d -qq -o APT::Sandbox::User=root "$package=$try" >"$download/apt.log" 2>&1); then
      [ "$try" = "$version" ] || say "$package $version is no longer in the archive: using $try"
      dsc=$(ls "$download/${package}_${try#*:}.dsc")
      verifyDsc "$dsc"
      rm -rf "$dir"
      # --no-check: the files were checked just above, and the .dsc came through apt's signed index.
      dpkg-source --no-check -x "$dsc" "$dir" >/dev/null
      fetched_version=$try
      return 0
    fi
  done
  cat "$download/apt.log" >&2
  die "cannot download the source package $package $version"
}
