# Sourced by the scripts that compare a build's frames with the committed ones: reads the fixed
# frame times (30 fps) and their ImageMagick pixel signatures from the whole-programme test.
#   loadCommittedFrames    sets `committed_frames` ("TIME SIGNATURE" lines) and `committed_times`
#                          (the times, comma-separated, for --frames-at)
#   differingFrames DIR    prints the times whose DIR/frame-at-TIME.png differs (or is missing)
loadCommittedFrames() {
  local table
  table="$(dirname "${BASH_SOURCE[0]}")/../../tests/tools/capture/programme_frames_test.cpp"
  mapfile -t committed_frames < <(sed -nE 's/^ *\{"([0-9.]+)", "([0-9a-f]{64})"\},.*/\1 \2/p' "$table")
  [ ${#committed_frames[@]} -ge 6 ] || { echo "no committed frame times found in $table" >&2; return 2; }
  committed_times=$(printf '%s\n' "${committed_frames[@]}" | cut -d' ' -f1 | paste -sd,)
}

differingFrames() {
  local entry time png
  for entry in "${committed_frames[@]}"; do
    time=${entry%% *}
    png="$1/frame-at-$time.png"
    [ -e "$png" ] && [ "$(identify -format '%#' "$png")" = "${entry#* }" ] || printf '%s ' "$time"
  done
}
