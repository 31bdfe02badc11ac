#!/usr/bin/env bash
# Code compiled for a wider instruction set (the *_avx2.cpp and *_avx512.cpp files) must not
# define a symbol the linker may merge with other files' copies: an inline function, a template
# instance or an inline variable emitted there (weak, or unique) could become the one copy the
# whole program calls, and fault on a processor without those instructions. Lists every such
# definition in a build's objects; exit 1 when there is one. Meaningful on an unoptimised build
# (nothing is inlined away), e.g. CI's build-debug.
# Usage: scripts/check-wide-code.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
mapfile -t objects < <(find "$build" -path '*tarvola_core.dir*' \( -name '*_avx2.cpp.o' -o -name '*_avx512.cpp.o' \) | sort)
[ ${#objects[@]} -gt 0 ] || { echo "check-wide-code: no wide objects under $build" >&2; exit 2; }
found=0
for object in "${objects[@]}"; do
  shared=$(nm -C --defined-only "$object" | awk '$2 ~ /^[WVu]$/' || true)
  if [ -n "$shared" ]; then
    echo "$object defines shared copies:"
    sed 's/^/    /' <<< "$shared"
    found=1
  fi
done
[ "$found" = 0 ] && echo "check-wide-code: ${#objects[@]} wide objects, no shared inline definitions"
exit "$found"
