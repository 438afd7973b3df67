// Runs the engine in a Web Worker: each message is one command line, and every line the
// engine writes is posted back to the page as it is written, so "info" lines arrive live. The
// page asks for the threaded engine, sorvane-threads.js, with "?threads" when it is
// cross-origin isolated; its search threads are workers of their own, started from that file.
const script = location.search === "?threads" ? "sorvane-threads.js" : "sorvane.js";
importScripts(script);

const pending = [];
let engine = null;

SorvaneModule({
    print: (line) => postMessage(line),
    printErr: (line) => postMessage("error " + line),
    mainScriptUrlOrBlob: script,
}).then((module) => {
    engine = module;
    engine._SorvaneStart();
    postMessage("ready");
    while (pending.length) run(pending.shift());
});

function run(line) {
    engine.ccall("SorvaneCommand", "number", ["string"], [line]);
}

onmessage = (event) => (engine ? run(event.data) : pending.push(event.data));
