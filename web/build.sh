#!/usr/bin/env bash
# Builds the engine and the developer tool to WebAssembly with Debian's emscripten, and the
# page's script with esbuild, into build-web/. The engine's sources are the native ones.
# Installs emscripten and the page's npm packages first if they are missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-web"
mkdir -p "$out"
if ! command -v em++ >/dev/null; then
    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y emscripten
fi
# Debian's emscripten runs its helpers with node; another node needs Debian's node modules.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
sources=()
while read -r source; do sources+=("$root/$source"); done < <(
    sed -n '/set(SORVANE_CORE_SOURCES/,/)/p' "$root/CMakeLists.txt" | grep -o '[a-z]*/[a-z_]*\.cpp')
# Rebuilt only when an engine source, header or the entry point is newer than the last build.
if [ ! -f "$out/sorvane-tool.js" ] || [ -n "$(find "$root"/{board,movegen,movemake,eval,think,uci} \
    "$root/web/engine.cpp" "$root/tools/sorvane_tool.cpp" -newer "$out/sorvane-tool.js" -print -quit)" ]; then
    flags=(-std=c++20 -O3 -DNDEBUG -I"$root" -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864)
    # The two builds share nothing: each takes one of the machine's cores.
    em++ "${flags[@]}" "${sources[@]}" "$root/web/engine.cpp" -o "$out/sorvane.js" \
        -sMODULARIZE=1 -sEXPORT_NAME=SorvaneModule -sENVIRONMENT=worker \
        -sEXPORTED_FUNCTIONS=_SorvaneStart,_SorvaneCommand -sEXPORTED_RUNTIME_METHODS=ccall &
    page=$!
    em++ "${flags[@]}" "${sources[@]}" "$root/tools/sorvane_tool.cpp" -o "$out/sorvane-tool.js" \
        -sENVIRONMENT=node -sSINGLE_FILE=1
    wait "$page"
fi
cd "$root/web"
[ -d node_modules ] || npm ci --no-audit --no-fund
npx esbuild app.js --bundle --minify --log-level=warning --outfile="$out/app.js"
cp index.html style.css worker.js "$out/"
node openings-data.mjs "$out/openings.json" >/dev/null
mkdir -p "$out/sounds"
cp sounds/*.wav "$out/sounds/"
cp node_modules/chessground/assets/chessground.{base,brown,cburnett}.css "$out/"
echo "built $out: sorvane.wasm $(stat -c %s "$out/sorvane.wasm") bytes"
