#!/usr/bin/env bash
# The whole programme rendered offline by the capture renderer (tarvola-capture) under AddressSanitizer and
# UndefinedBehaviorSanitizer (float-cast-overflow included), first on the intact data set, then once for every file of
# data/ damaged in each way: missing, truncated to half, truncated to 10 bytes, random bytes of
# the same length, and (pictures) a valid header declaring 65535 x 65535. Each run must end
# with exit code 0 within its time limit, without a sanitizer report, show the damaged file's
# message at most once (exactly once where the loaders must tell), and render every frame of
# the scenes that do not use the file exactly as the intact run did.
# Usage: scripts/damaged-data.sh [FPS] (default 2; FPS divides 100). Cases are kept in
# build-asan/damaged/<case>/ (data/, frames.txt, stdout, stderr) for a look afterwards.
# The data set is build/data when the ordinary build has made it (the generator is
# deterministic: the same bytes), else the sanitizer build generates its own.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
fps="${FPS:-${1:-2}}"
asan="$root/build-asan"
data="$asan/data"
[ -e "$root/build/data/.stamp" ] && data="$root/build/data"
capture="$asan/tarvola-capture"
limit=180  # seconds per run; an intact run at 2 frames per second takes a few
work="$asan/damaged"
# The scene slots as tarvola-capture --list-scenes prints them (number, start, end, name, the
# files its pictures depend on: the letterbox, the music, its own; the finale's include those of
# the scenes it replays), written once the capture is built.
scenes="$work/scenes.txt"
# Scene numbers that use a file: the rest must render as before.
scenes_using() {
  awk -F'\t' -v file="$1" '{ n = split($5, f, " "); for (i = 1; i <= n; ++i) if (f[i] == file) printf "%s ", $1 }' \
    "$scenes"
}
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# Renders the programme in the current directory (it holds data/): frames.txt with one line
# "index scene hash" per frame, stdout, stderr. The capture's frame k shows demo time k/fps;
# frames within one frame of a scene change count as scene 0 (not compared).
render() {
  rm -rf png && mkdir png
  local status=0 bounds
  bounds=$(awk -F'\t' '{ printf "%s ", $2; end = $3 } END { print end }' "$scenes")
  timeout "$limit" "$capture" --fps "$fps" --png png --no-progress >stdout 2>stderr || status=$?
  (cd png && md5sum frame-*.png) | awk -v fps="$fps" -v bounds="$bounds" '
    BEGIN { n = split(bounds, b, " ") }
    { k = $2; sub(/^frame-0*/, "", k); sub(/\.png$/, "", k); k += 0; t = k / fps; scene = 0
      for (i = 2; i <= n; ++i) if (t > b[i - 1] + 1 / fps && t < b[i] - 1 / fps) scene = i - 1
      print k, scene, $1 }' | sort -n >frames.txt
  rm -rf png
  return $status
}

# One case: file, damage. Prints one line; exit 1 on a failure.
run_case() {
  local file="$1" damage="$2" dir="$work/$1.$2"
  rm -rf "$dir" && mkdir -p "$dir/data"
  for f in "$data"/*; do ln -s "$f" "$dir/data/"; done
  local target="$dir/data/$file" size
  size=$(stat -L -c %s "$data/$file")
  rm "$target"
  case "$damage" in
    missing) ;;
    half) head -c $((size / 2)) "$data/$file" >"$target" ;;
    ten) head -c 10 "$data/$file" >"$target" ;;
    random) perl -e 'srand($ARGV[0]); print pack("C*", map { int(rand(256)) } 1 .. $ARGV[1])' \
              "$(cksum <<<"$file" | cut -d' ' -f1)" "$size" >"$target" ;;
    huge) cp "$data/$file" "$target" && chmod u+w "$target"
          printf '\377\377\377\377\040' | dd of="$target" bs=1 seek=12 conv=notrunc status=none ;;
  esac
  local status=0 started=$SECONDS
  (cd "$dir" && render) || status=$?
  local took=$((SECONDS - started)) problems=()
  [ "$status" -eq 0 ] || problems+=("exit $status")
  grep -qE 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' "$dir/stderr" && problems+=("sanitizer report")
  # Messages: the loaders' lines on stderr and the TGA loader's console line on stdout.
  local messages expected=""
  messages=$(( $(grep -c '^tarvola: ' "$dir/stderr" || true) + $(grep -c 'Fuckedup tgafile' "$dir/stdout" || true) ))
  case "$file:$damage" in
    kyr.it:*) expected=0 ;;  # a module that does not load leaves the demo silent, unannounced
    *:missing) expected=1; grep -qx "tarvola: ERROR! Cant open data/$file" "$dir/stderr" || problems+=("no 'Cant open' line") ;;
    *.tga:ten | *.tga:huge) expected=1 ;;
    *.3ds:*) expected=1; grep -qx "tarvola: hore error reading 3dsfile!" "$dir/stderr" || problems+=("no 3DS line") ;;
    *.tga:half) expected=0 ;;  # a short picture loads with its missing pixels black
  esac
  if [ -n "$expected" ]; then [ "$messages" -eq "$expected" ] || problems+=("$messages messages, expected $expected")
  else [ "$messages" -le 1 ] || problems+=("$messages messages"); fi
  # Frames of the scenes that do not use the file: bit-identical to the intact run.
  local changed
  changed=$(awk -v skip=" $(scenes_using "$file") " 'NR == FNR { ref[$1] = $3; scene[$1] = $2; n++; next }
      { m++ } scene[$1] >= 1 && index(skip, " " scene[$1] " ") == 0 && ref[$1] != $3 { bad++ }
      END { if (m != n) print "frame count " m " vs " n; else if (bad) print bad " frames of other scenes differ" }' \
      "$work/intact/frames.txt" "$dir/frames.txt")
  [ -z "$changed" ] || problems+=("$changed")
  if [ ${#problems[@]} -eq 0 ]; then
    printf 'ok   %-18s %-7s %3ss  %d message(s)\n' "$file" "$damage" "$took" "$messages"
  else
    printf 'FAIL %-18s %-7s %3ss  %s\n' "$file" "$damage" "$took" "$(IFS=';'; echo "${problems[*]}")"
    return 1
  fi
}

if [ "${1:-}" = "--case" ]; then run_case "$2" "$3"; exit; fi

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLA_SANITIZE=ON \
      -DTARVOLA_TESTS=OFF -DTARVOLA_BENCH=OFF >/dev/null
targets=(tarvola-capture)
[ "$data" = "$asan/data" ] && targets+=(data)
cmake --build build-asan -j2 --target "${targets[@]}"
mkdir -p "$work/intact"
"$capture" --list-scenes >"$scenes"
rm -f "$work/intact/"*
ln -sfn "$data" "$work/intact/data"
echo "== the intact programme under ASan + UBSan at $fps frames per second ($capture)"
(cd "$work/intact" && render) || { cat "$work/intact/stderr"; exit 1; }
if grep -qE '^tarvola: |ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' "$work/intact/stderr" ||
   grep -q Fuckedup "$work/intact/stdout"; then
  echo "the intact run reported:"; cat "$work/intact/stderr" "$work/intact/stdout"; exit 1
fi
echo "$(wc -l <"$work/intact/frames.txt") frames, no report"

echo "== damaged data"
cases=()
for path in "$data"/*; do
  file=$(basename "$path")
  for damage in missing half ten random; do cases+=("$file $damage"); done
  [[ "$file" == *.tga ]] && cases+=("$file huge")
done
printf '%s\n' "${cases[@]}" | FPS="$fps" xargs -P 2 -L 1 "$0" --case
echo "damaged-data: ${#cases[@]} cases passed"
