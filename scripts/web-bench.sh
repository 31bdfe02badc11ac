#!/usr/bin/env bash
# The page's speed beside the native build's, offline and repeatable: the whole programme
# stepped in node (tarvola-web-stepped --bench, the wall clock of node's thread) and the capture
# renderer's --bench (CPU time of the native rendering thread), each scene's median and worst
# work per frame, and the ratio of the medians web / native. Needs build/ and build-web/ as
# scripts/web.sh leaves them. RUNS=N takes each scene's best median of N runs of each.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd build
./tarvola-capture --list-syncs | sed -E 's/.* sample +([0-9]+) +value ([0-9]+) .*/\1 \2/' >"$work/syncs"
for ((i = 0; i < runs; ++i)); do
  ./tarvola-capture --bench | grep -E '^[1-6] ' >>"$work/native"
  node ../build-web/tarvola-web-stepped.js --bench "$work/syncs" | grep -E '^[1-6] ' >>"$work/web"
done
# Lines "N name... frames median worst": the best median of the runs, and its worst.
best() { awk '{ m = $(NF-1); if (!($1 in b) || m < b[$1]) { b[$1] = m; w[$1] = $NF } } END { for (s in b) print s, b[s], w[s] }' "$1" | sort -n; }
join <(best "$work/native") <(best "$work/web") |
  awk 'BEGIN { printf "%-6s %22s %22s %7s\n", "scene", "native median / worst", "web median / worst", "ratio" }
       { printf "%-6s %11.3f / %7.3f ms %11.3f / %7.3f ms %6.2fx\n", $1, $2, $3, $4, $5, $4 / $2 }'
