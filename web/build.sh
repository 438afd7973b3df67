#!/usr/bin/env bash
# Builds the engine and the developer tool to WebAssembly with Debian's emscripten, and the
# page's script with esbuild, into build-web/. The engine's sources and headers are the native
# ones, unchanged. The engine comes twice: sorvane.js, one thread, for any page, and
# sorvane-threads.js, with emscripten's threads (-pthread, under which the engine's headers give
# it the native count of threads), for a cross-origin isolated one. Installs emscripten and the
# page's npm packages first if they are missing.
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
while read -r source; do sources+=("$source"); done < <(
    sed -n '/set(SORVANE_CORE_SOURCES/,/)/p' "$root/CMakeLists.txt" | grep -o '[a-z]*/[a-z_]*\.cpp')
# Rebuilt only when an engine source, header, entry point or this script is newer than the last
# build.
if [ ! -f "$out/sorvane-threads.js" ] || [ -n "$(find "$root"/{board,movegen,movemake,eval,think,uci} \
    "$root/web/engine.cpp" "$root/web/build.sh" "$root/tools/sorvane_tool.cpp" \
    -newer "$out/sorvane-threads.js" -print -quit)" ]; then
    flags=(-std=c++20 -O3 -DNDEBUG -I"$root")
    # The sources are compiled once for the one-thread builds and once with threads, the two
    # side by side, one a core; one em++ a variant spares a start of emscripten's driver a
    # source. The sources' names differ, so their objects do too.
    rm -rf "$out/objects"
    mkdir -p "$out/objects/plain" "$out/objects/threads"
    (cd "$out/objects/plain" && em++ "${flags[@]}" -c "${sources[@]/#/$root/}" \
        "$root/web/engine.cpp" "$root/tools/sorvane_tool.cpp") &
    plain=$!
    (cd "$out/objects/threads" && em++ -pthread "${flags[@]}" \
        -c "${sources[@]/#/$root/}" "$root/web/engine.cpp")
    wait "$plain"
    core() { for source in "${sources[@]}"; do echo "$out/objects/$1/$(basename "$source" .cpp).o"; done; }
    memory=(-sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864)
    # The links optimise at -O2: the code is the compiler's -O3 already, and binaryen's -O3
    # passes took twice as long for no speed that the bench shows.
    page=(-sMODULARIZE=1 -sEXPORT_NAME=SorvaneModule -sENVIRONMENT=worker
        -sEXPORTED_FUNCTIONS=_SorvaneStart,_SorvaneCommand -sEXPORTED_RUNTIME_METHODS=ccall)
    em++ -O2 "${memory[@]}" "${page[@]}" $(core plain) "$out/objects/plain/engine.o" \
        -o "$out/sorvane.js" &
    one=$!
    em++ -O2 "${memory[@]}" -sENVIRONMENT=node -sSINGLE_FILE=1 $(core plain) \
        "$out/objects/plain/sorvane_tool.o" -o "$out/sorvane-tool.js" &
    tool=$!
    # The search's main thread is ready from the start, its helpers start when an analysis
    # first asks for them; each searches with a stack as deep as the engine's native threads
    # need.
    em++ -O2 -pthread "${memory[@]}" "${page[@]}" -sPTHREAD_POOL_SIZE=1 \
        -sDEFAULT_PTHREAD_STACK_SIZE=4194304 -Wno-pthreads-mem-growth \
        $(core threads) "$out/objects/threads/engine.o" -o "$out/sorvane-threads.js"
    wait "$one" "$tool"
fi
cd "$root/web"
# Installed again when the lock file is newer than the installed packages' own record, as
# after a pull that added a package.
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    npm ci --no-audit --no-fund
fi
npx esbuild app.js --bundle --minify --log-level=warning --outfile="$out/app.js"
cp index.html style.css worker.js "$out/"
rm -rf "$out/objects"
node openings-data.mjs "$out/openings.json" >/dev/null
mkdir -p "$out/sounds"
cp sounds/*.wav "$out/sounds/"
cp node_modules/chessground/assets/chessground.{base,brown,cburnett}.css "$out/"
echo "built $out: sorvane.wasm $(stat -c %s "$out/sorvane.wasm") bytes," \
    "sorvane-threads.wasm $(stat -c %s "$out/sorvane-threads.wasm") bytes"
