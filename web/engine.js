// The link to the engine, which runs in a Web Worker: one UCI command line a message each
// way. The page only ever sends "position fen ... moves ..." and "go movetime N".
export class Engine {
    // onReady() when the engine can take a search, onInfo(line) for each "info" line with a
    // principal variation, onBestMove(uci) with the answer.
    constructor({ onReady, onInfo, onBestMove }) {
        this.ready = false;
        this.searching = false;
        this.worker = new Worker("worker.js");
        this.worker.onmessage = (event) => {
            const line = event.data;
            if (line === "ready") {
                this.ready = true;
                onReady();
            } else if (line.startsWith("error ")) {
                console.error("engine: " + line.slice(6));
            } else if (line.startsWith("info depth ") && line.includes(" pv ")) {
                onInfo(parseInfo(line));
            } else if (line.startsWith("bestmove ")) {
                this.searching = false;
                onBestMove(line.split(" ")[1]);
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
