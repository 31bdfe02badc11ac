#!/usr/bin/env bash
# Checks the include order of src/: a file in src/<folder>/ includes (with "...") only from its own
# folder or from folders earlier in the order below, always written from src/. tools/, bench/
# and tests/ sit above everything and may include any of src/, so only src/ is read. Prints
# every include that breaks the order and exits 1; exits 0 when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
order=(base surface music raster engine3d metaballs scenes runtime platform)
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

bad=0
while IFS=: read -r file _ line; do
  target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")
  from=$(cut -d/ -f2 <<<"$file")
  to=$(cut -d/ -f1 <<<"$target")
  if [[ $target != */* || -z ${rank[$to]+x} ]]; then
    echo "$file: include \"$target\" is not written from src/"
    bad=1
  elif ((rank[$to] > rank[$from])); then
    echo "$file: include \"$target\" points up the order (${order[*]})"
    bad=1
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src)
exit $bad
