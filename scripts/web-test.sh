#!/usr/bin/env bash
# Builds the web page (scripts/web.sh) and runs the web tests in node: the worklet's sound and
# syncs, the fast kernels on every path and the stepped web build's frames against the native
# build, then the page served on 127.0.0.1 in headless Chromium, also with the CPU slowed; last,
# the page's benchmark beside the native one (scripts/web-bench.sh, printed, not judged).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/web.sh
# The browser test's driver (playwright-core, pinned in web/package.json).
(cd web && npm ci --no-audit --no-fund)
port=${TARVOLA_WEB_PORT:-8765}
python3 -m http.server -b 127.0.0.1 -d build-web/page "$port" > /dev/null 2>&1 &
server=$!
trap 'kill "$server"' EXIT
export TARVOLA_WEB_URL="http://127.0.0.1:$port/"
node --test tests/web/
scripts/web-bench.sh
