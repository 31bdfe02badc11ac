#!/usr/bin/env bash
# Builds the Windows programs (scripts/windows.sh) and checks them under Wine, one line per check:
#   frames      tarvola-capture.exe renders the committed frames bit for bit (cross-build-frames.sh)
#   syncs       its --list-syncs equals the native build's, line for line
#   sound       its --wav of the whole demo equals the native build's, byte for byte
#   demo        tarvola.exe in a virtual X display (Xvfb, a window manager): its window shows the
#               loading picture, then live scenes that move, and Escape ends it with status 0;
#               with no sound device it plays on the silent output
# Exits 1 when any check fails. Every wait is bounded; Wine's prefix is build-windows/wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
begun=$SECONDS
out=$root/build-windows

scripts/install-deps.sh wine64 xvfb xdotool imagemagick matchbox-window-manager x11-utils ||
  echo "wine-test.sh: installing packages failed; checking what is there"
WINE=$(command -v wine || true)
[ -n "$WINE" ] || [ ! -x /usr/lib/wine/wine64 ] || WINE=/usr/lib/wine/wine64
[ -n "$WINE" ] || { echo "wine-test.sh: no wine: install the Debian package wine64" >&2; exit 1; }
WINESERVER=$(command -v wineserver || echo "$(dirname "$WINE")/wineserver")
scripts/windows.sh

# A prefix of our own; no Mono or Gecko installer prompts, no debug chatter.
export WINE WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
timeout 300 "$WINE" wineboot --init >/dev/null 2>&1 || { echo "wine-test.sh: Wine did not start" >&2; exit 1; }
work=$(mktemp -d /tmp/tarvola-wine-XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  timeout 30 "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failed=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failed=1; }

# ---- The capture renderer ---------------------------------------------------------------------

started=$SECONDS
if timeout 1800 scripts/cross-build-frames.sh "$out" >"$work/frames" 2>&1; then
  ok "frames: $(sed -n 's/^ok *[^:]*: //p' "$work/frames")"
else
  fail "frames: $(tail -3 "$work/frames" | paste -sd' ')"
fi

native=$root/build/tarvola-capture
(cd build && timeout 120 "$native" --list-syncs) >"$work/syncs-native" || true
(cd "$out" && timeout 300 "$WINE" tarvola-capture.exe --list-syncs) | tr -d '\r' >"$work/syncs-windows" || true
if [ -s "$work/syncs-native" ] && cmp -s "$work/syncs-native" "$work/syncs-windows"; then
  ok "syncs: $(wc -l <"$work/syncs-native") sync lines as the native build's"
else
  fail "syncs: the lists differ: $(diff "$work/syncs-native" "$work/syncs-windows" | sed -n 1,3p | paste -sd' ')"
fi

(cd build && timeout 300 "$native" --no-progress --wav "$work/native.wav") || true
(cd "$out" && timeout 600 "$WINE" tarvola-capture.exe --no-progress --wav "$work/windows.wav") || true
if [ -s "$work/native.wav" ] && cmp -s "$work/native.wav" "$work/windows.wav"; then
  ok "sound: the whole demo's WAV ($(stat -c %s "$work/native.wav") bytes) as the native build's"
else
  fail "sound: the WAV files differ: $(cmp "$work/native.wav" "$work/windows.wav" 2>&1 | sed -n 1p)"
fi
echo "     (the capture checks took $((SECONDS - started)) s)"

# ---- The demo in a window ---------------------------------------------------------------------

# Xvfb at four times 320 x 240 and a window manager, as the native demo tests run it. Without
# -noreset the server resets each time its last client leaves (each xdpyinfo below) and refuses
# whoever connects meanwhile.
for n in $(seq 90 99); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break; done
export DISPLAY=:$n
Xvfb "$DISPLAY" -screen 0 1280x960x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for() {  # SECONDS COMMAND...: repeats the command until it succeeds
  local until=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.2
  done
}
wait_for 30 xdpyinfo || { fail "demo: Xvfb did not start: $(tail -2 "$work/xvfb.log")"; exit 1; }
matchbox-window-manager -use_titlebar no >"$work/wm.log" 2>&1 &
pids+=($!)
# xprop exits 0 with or without the property: the window manager is up once the root names its
# check window.
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id #'; }
wait_for 30 wm_up || { fail "demo: no window manager: $(tail -2 "$work/wm.log")"; exit 1; }

# Wine's audio traces tell whether a sound device was opened (none here: the silent output plays).
(cd "$out" && WINEDEBUG=trace+mmdevapi exec timeout 300 "$WINE" tarvola.exe) >"$work/demo.log" 2>&1 &
demo=$!
pids+=($demo)
shot() { import -window root "$work/$1.png" 2>/dev/null || rm -f "$work/$1.png"; }
# The mean of the screen's grey levels, 0..1, and whether two shots differ anywhere.
mean() { convert "$work/$1.png" -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null || echo 0; }
differ() { [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true)" != 0 ]; }

if ! wait_for 60 xdotool search --onlyvisible --name '^tarvola$'; then
  fail "demo: no window named tarvola: $(tail -3 "$work/demo.log" | paste -sd' ')"
  exit 1
fi
# The loading picture, scaled by four with no blending, fills the screen until the music starts.
# Read here as the demo reads it: 32-bit BGRA after an 18-byte header, bottom row first.
tail -c +19 "$out/data/loading.tga" | convert -size 320x240 -depth 8 bgra:- -flip -alpha off -scale 400% \
  "$work/loading.png"
loading=no
for _ in $(seq 1 100); do
  shot now
  if ! differ now loading; then loading=yes; break; fi
  sleep 0.1
done
[ $loading = yes ] && ok "demo: the window shows the loading picture, scaled by four" ||
  fail "demo: the loading picture never filled the screen"

# Once the demo runs: pictures that are not black and change from one shot to the next.
sleep 12
shot live1
sleep 1
shot live2
if grep -q 'AudioClient_Start' "$work/demo.log"; then
  sound="on a sound device"
elif grep -q 'MMDevEnum_GetDefaultAudioEndpoint' "$work/demo.log"; then
  sound="on the silent output: Wine has no sound device"
else
  sound="(no trace of Wine's audio)"
fi
if [ "$(mean live1)" != 0 ] && differ live1 live2 && differ live1 loading; then
  ok "demo: live scenes move, $sound"
else
  fail "demo: no live scene after the loading picture"
fi
[ -n "${TARVOLA_WINE_SHOTS:-}" ] && cp "$work"/{now,live1,live2}.png "$TARVOLA_WINE_SHOTS"/

xdotool key Escape
status=0
wait_for 30 bash -c "! kill -0 $demo" || fail "demo: still running 30 s after Escape"
wait "$demo" || status=$?
[ $status -eq 0 ] && ok "demo: Escape ended it with status 0" || fail "demo: it ended with status $status"

echo "     (wine-test.sh took $((SECONDS - begun)) s)"
exit "$failed"
