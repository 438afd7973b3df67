// The link to the engine, which runs in a Web Worker: one UCI command line a message each
// way. The page sends "uci", "setoption", "position fen ... moves ..." and "go" with the time
// for the move, "movetime N", the clocks, "wtime W btime B winc I binc I", or "infinite".
export class Engine {
    // onReady() when the engine can take a search; by default each search reports to
    // onInfo(info) for each "info" line with a principal variation and onBestMove(uci).
    constructor(handlers) {
        this.handlers = handlers;
        this.eloRange = null; // the ratings UCI_Elo takes, { min, max }, from the engine's list
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
            if (line === "uciok") {
                this.ready = true;
                this.handlers.onReady();
            } else if (line.startsWith("option name UCI_Elo ")) {
                const words = line.split(" ");
                const number = (word) => Number(words[words.indexOf(word) + 1]);
                this.eloRange = { min: number("min"), max: number("max") };
            } else if (line.startsWith("error ")) {
                console.error("engine: " + line.slice(6));
            } else if (line.startsWith("info depth ") && line.includes(" pv ")) {
                this.listener.onInfo(parseInfo(line));
            } else if (line.startsWith("bestmove ")) {
                this.searching = false;
                this.listener.onBestMove(line.split(" ")[1]);
            }
        };
        worker.postMessage("uci"); // the worker keeps it until the engine has loaded
    }

    // Sets engine options, { MultiPV: 3, UCI_Elo: 1400, ... }, for the searches that follow.
    // A fresh worker starts from the defaults, so each search sets what it needs first.
    setOptions(options) {
        for (const [name, value] of Object.entries(options))
            this.worker.postMessage(`setoption name ${name} value ${value}`);
    }

    // Searches the position after `moves` from `startFen`; `go` is what follows "go", as
    // "movetime 1000", the clocks or "infinite". `listener` takes this search's reports instead
    // of the default handlers.
    search(startFen, moves, go, listener = this.handlers) {
        this.searching = true;
        this.listener = listener;
        this.worker.postMessage(
            `position fen ${startFen}${moves.length ? " moves " + moves.join(" ") : ""}`,
        );
        this.worker.postMessage(`go ${go}`);
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

// An "info" line's depth, line number (1 without "multipv"), score and principal variation.
// The score is the side to move's, { cp } in centipawns or { mate } in moves, negative when
// the side to move is mated.
function parseInfo(line) {
    const words = line.split(" ");
    const multipv = words.indexOf("multipv");
    const score = words.indexOf("score");
    return {
        depth: Number(words[2]),
        line: multipv < 0 ? 1 : Number(words[multipv + 1]),
        score: { [words[score + 1]]: Number(words[score + 2]) },
        pv: words.slice(words.indexOf("pv") + 1),
    };
}

// A score of the side to move, as parseInfo gives it, in White's view: { cp } in centipawns,
// or { mate, winner } with the moves the winner needs to mate.
export function whiteView(score, sideToMove) {
    const mover = sideToMove === "w" ? 1 : -1;
    if (score.mate === undefined) return { cp: score.cp * mover };
    const moverWins = score.mate > 0;
    const winner = moverWins === (sideToMove === "w") ? "w" : "b";
    return { mate: Math.abs(score.mate), winner };
}

// The same score once `mover` has played the move the search chose: a mate of the mover's
// is a move nearer; anything else stands.
export function afterMove(score, mover) {
    return score.mate && score.winner === mover ? { ...score, mate: score.mate - 1 } : score;
}
