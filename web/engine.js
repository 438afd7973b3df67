// The link to the engine, which runs in a Web Worker: one UCI command line a message each
// way. The page only ever sends "position fen ... moves ..." and "go movetime N".
export class Engine {
    // onReady() when the engine can take a search, onInfo(info) for each "info" line with a
    // principal variation, onBestMove(uci) with the answer.
    constructor(handlers) {
        this.handlers = handlers;
        this.start();
    }

    start() {
        this.ready = false;
        this.searching = false;
        const worker = new Worker("worker.js");
        this.worker = worker;
        worker.onmessage = (event) => {
            if (worker !== this.worker) return; // a line from a worker stopped meanwhile
            const line = event.data;
            if (line === "ready") {
                this.ready = true;
                this.handlers.onReady();
            } else if (line.startsWith("error ")) {
                console.error("engine: " + line.slice(6));
            } else if (line.startsWith("info depth ") && line.includes(" pv ")) {
                this.handlers.onInfo(parseInfo(line));
            } else if (line.startsWith("bestmove ")) {
                this.searching = false;
                this.handlers.onBestMove(line.split(" ")[1]);
            }
        };
    }

    search(startFen, moves, movetime) {
        this.searching = true;
        this.worker.postMessage(
            `position fen ${startFen}${moves.length ? " moves " + moves.join(" ") : ""}`,
        );
        this.worker.postMessage(`go movetime ${movetime}`);
    }

    // Abandons a running search at once. A search reads no input until it answers, so "stop"
    // would wait for it: the worker is dropped instead and a fresh one started, which takes
    // milliseconds. onReady() follows when the new one can search.
    stop() {
        if (!this.searching) return;
        this.worker.terminate();
        this.start();
    }
}

// An "info" line's depth, score (centipawns for the side to move) and principal variation.
function parseInfo(line) {
    const words = line.split(" ");
    return {
        depth: Number(words[2]),
        cp: Number(words[words.indexOf("cp") + 1]),
        pv: words.slice(words.indexOf("pv") + 1),
    };
}
