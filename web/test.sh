#!/usr/bin/env bash
# The browser build's tests: the WebAssembly engine gives the native bench signature, and the
# page plays whole games in headless Chromium. Installs what it needs if it is missing.
#   web/test.sh [native sorvane-tool]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
native="${1:-$root/build/sorvane-tool}"
if ! command -v chromium >/dev/null; then
    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y chromium
fi
bash "$root/web/build.sh"
expected="$("$native" bench 5 | grep -o 'Nodes: [0-9]*')"
actual="$(node "$root/build-web/sorvane-tool.js" bench 5 | grep -o 'Nodes: [0-9]*')"
echo "bench signature: native $expected, WebAssembly $actual"
[ "$expected" = "$actual" ] || { echo "the WebAssembly build searches differently"; exit 1; }
node "$root/web/test.mjs"
