#!/usr/bin/env bash
# Builds the engine and the developer tool to WebAssembly with Debian's emscripten, and the
# page's script with esbuild, into build-web/. The engine's sources are the native ones. The
# engine comes twice: sorvane.js, one thread, for any page, and sorvane-threads.js, with
# emscripten's threads, for a cross-origin isolated one. Installs emscripten and the page's
# npm packages first if they are missing.
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
# The threaded build reads think/think.h through web/threads/think/think.h, which must include
# first what the engine's header includes.
if ! diff <(grep '^#include' "$root/think/think.h") \
    <(grep '^#include' "$root/web/threads/think/think.h" | grep -v include_next) >/dev/null; then
    echo "web/threads/think/think.h must include what think/think.h includes" >&2
    exit 1
fi
# Rebuilt only when an engine source, header or an entry point is newer than the last build.
if [ ! -f "$out/sorvane-threads.js" ] || [ -n "$(find "$root"/{board,movegen,movemake,eval,think,uci} \
    "$root/web/engine.cpp" "$root/web/threads" "$root/tools/sorvane_tool.cpp" \
    -newer "$out/sorvane-threads.js" -print -quit)" ]; then
    flags=(-std=c++20 -O3 -DNDEBUG -I"$root")
    threaded=(-pthread -I"$root/web/threads" "${flags[@]}")
    # Each source is compiled once for the one-thread builds and once with threads, two at a
    # time, one a core.
    rm -rf "$out/objects"
    mkdir -p "$out/objects/plain" "$out/objects/threads"
    compile() { # kind source
        local kind="$1" source="$2" object
        object="$out/objects/$kind/$(echo "$source" | tr / _).o"
        if [ "$kind" = threads ]; then
            em++ "${threaded[@]}" -c "$root/$source" -o "$object"
        else
            em++ "${flags[@]}" -c "$root/$source" -o "$object"
        fi
    }
    export -f compile
    export out root
    export flags_text="${flags[*]}" threaded_text="${threaded[*]}"
    for source in "${sources[@]}" web/engine.cpp tools/sorvane_tool.cpp; do
        echo "plain $source"
        [ "$source" = tools/sorvane_tool.cpp ] || echo "threads $source"
    done | xargs -P 2 -L 1 bash -c 'set -e; flags=($flags_text); threaded=($threaded_text); compile "$0" "$1"'
    core() { for source in "${sources[@]}"; do echo "$out/objects/$1/$(echo "$source" | tr / _).o"; done; }
    memory=(-sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864)
    page=(-sMODULARIZE=1 -sEXPORT_NAME=SorvaneModule -sENVIRONMENT=worker
        -sEXPORTED_FUNCTIONS=_SorvaneStart,_SorvaneCommand -sEXPORTED_RUNTIME_METHODS=ccall)
    em++ -O3 "${memory[@]}" "${page[@]}" $(core plain) "$out/objects/plain/web_engine.cpp.o" \
        -o "$out/sorvane.js" &
    one=$!
    em++ -O3 "${memory[@]}" -sENVIRONMENT=node -sSINGLE_FILE=1 $(core plain) \
        "$out/objects/plain/tools_sorvane_tool.cpp.o" -o "$out/sorvane-tool.js" &
    tool=$!
    # The search's main thread is ready from the start, its helpers start when an analysis
    # first asks for them; each searches with a stack as deep as the engine's native threads
    # need.
    em++ -O3 -pthread "${memory[@]}" "${page[@]}" -sPTHREAD_POOL_SIZE=1 \
        -sDEFAULT_PTHREAD_STACK_SIZE=4194304 -Wno-pthreads-mem-growth \
        $(core threads) "$out/objects/threads/web_engine.cpp.o" -o "$out/sorvane-threads.js"
    wait "$one" "$tool"
fi
cd "$root/web"
[ -d node_modules ] || npm ci --no-audit --no-fund
npx esbuild app.js --bundle --minify --log-level=warning --outfile="$out/app.js"
cp index.html style.css worker.js "$out/"
rm -rf "$out/objects"
node openings-data.mjs "$out/openings.json" >/dev/null
mkdir -p "$out/sounds"
cp sounds/*.wav "$out/sounds/"
cp node_modules/chessground/assets/chessground.{base,brown,cburnett}.css "$out/"
echo "built $out: sorvane.wasm $(stat -c %s "$out/sorvane.wasm") bytes," \
    "sorvane-threads.wasm $(stat -c %s "$out/sorvane-threads.wasm") bytes"
