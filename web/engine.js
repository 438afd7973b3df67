// The link to the engine, which runs in a Web Worker: one UCI command line a message each
// way. The page sends "uci", "setoption", "position fen ... moves ...", "go" with the time for
// the move, "movetime N", the clocks, "wtime W btime B winc I binc I", or "infinite", and, to
// the threaded engine, "stop".
//
// A cross-origin isolated page runs the threaded engine, which listens while it searches: a
// search is ended with "stop", and the commands of the next one wait in the engine for its
// answer. Any other page runs the one-thread engine, which reads nothing until it answers: a
// search is ended by dropping the worker and starting a fresh one, which loads in milliseconds.
export class Engine {
    // onReady() when the engine can take a search; by default each search reports to
    // onInfo(info) for each "info" line with a score and onBestMove(uci). A position with no
    // legal move has one report, at depth 0 with no line, and the answer null (the engine's
    // "bestmove 0000").
    constructor(handlers, threaded = Boolean(globalThis.crossOriginIsolated)) {
        this.handlers = handlers;
        this.threaded = threaded;
        this.eloRange = null; // the ratings UCI_Elo takes, { min, max }, from the engine's list
        this.maxThreads = 1; // the threads the Threads option takes, from the engine's list
        this.start();
    }

    start() {
        this.ready = false;
        this.searches = []; // the searches sent and not yet answered, oldest first
        this.sent = new Map(); // each option's value as last sent to this worker
        const worker = new Worker(this.threaded ? "worker.js?threads" : "worker.js");
        this.worker = worker;
        worker.onmessage = (event) => {
            if (worker !== this.worker) return; // a line from a worker dropped meanwhile
            const line = event.data;
            const search = this.searches[0]; // the lines are of the oldest search unanswered
            if (line === "uciok") {
                this.ready = true;
                this.handlers.onReady();
            } else if (line.startsWith("option name ")) {
                this.readOption(line);
            } else if (line.startsWith("error ")) {
                console.error("engine: " + line.slice(6));
            } else if (line.startsWith("info depth ") && line.includes(" score ")) {
                if (search && !search.stopped) search.listener.onInfo(parseInfo(line));
            } else if (line.startsWith("bestmove ")) {
                this.searches.shift();
                if (!search) return;
                search.answered = true;
                const move = line.split(" ")[1];
                if (!search.stopped) search.listener.onBestMove(move === "0000" ? null : move);
            }
        };
        worker.postMessage("uci"); // the worker keeps it until the engine has loaded
    }

    // The ranges of UCI_Elo and Threads, from the engine's option lines.
    readOption(line) {
        const words = line.split(" ");
        const number = (word) => Number(words[words.indexOf(word) + 1]);
        if (line.startsWith("option name UCI_Elo "))
            this.eloRange = { min: number("min"), max: number("max") };
        if (line.startsWith("option name Threads ")) this.maxThreads = number("max");
    }

    // Whether a search runs that has not been stopped.
    get searching() {
        return this.searches.some((s) => !s.stopped);
    }

    // The search under way that has not been stopped, or null.
    get current() {
        return this.searches.find((s) => !s.stopped) ?? null;
    }

    // Sets engine options, { MultiPV: 3, UCI_Elo: 1400, ... }, for the searches that follow;
    // a value the engine has already is not sent again. A fresh worker starts from the
    // defaults, so each search sets what it needs first.
    setOptions(options) {
        for (const [name, value] of Object.entries(options)) {
            if (this.sent.get(name) === String(value)) continue;
            this.sent.set(name, String(value));
            this.worker.postMessage(`setoption name ${name} value ${value}`);
        }
    }

    // Searches the position after `moves` from `startFen`; `go` is what follows "go", as
    // "movetime 1000", the clocks or "infinite". `listener` takes this search's reports instead
    // of the default handlers. Returns the search, { listener, stopped, answered }.
    search(startFen, moves, go, listener = this.handlers) {
        const search = { listener, stopped: false, answered: false };
        this.searches.push(search);
        this.worker.postMessage(
            `position fen ${startFen}${moves.length ? " moves " + moves.join(" ") : ""}`,
        );
        this.worker.postMessage(`go ${go}`);
        return search;
    }

    // Ends the running search at once; its reports and answer go to nobody. The threaded
    // engine is told "stop"; the one-thread engine is dropped for a fresh one, and onReady()
    // follows when that can search.
    stop() {
        if (!this.searching) return;
        for (const search of this.searches) search.stopped = true;
        if (this.threaded) this.worker.postMessage("stop");
        else {
            this.worker.terminate();
            this.start();
        }
    }
}

// An "info" line's depth, line number (1 without "multipv"), score and principal variation
// (none where the side to move has no legal move). The score is the side to move's, { cp } in
// centipawns or { mate } in moves, negative when the side to move is mated; "mate 0" when it
// is mated already.
function parseInfo(line) {
    const words = line.split(" ");
    const multipv = words.indexOf("multipv");
    const score = words.indexOf("score");
    const pv = words.indexOf("pv");
    return {
        depth: Number(words[2]),
        line: multipv < 0 ? 1 : Number(words[multipv + 1]),
        score: { [words[score + 1]]: Number(words[score + 2]) },
        pv: pv < 0 ? [] : words.slice(pv + 1),
    };
}

// A score of the side to move, as parseInfo gives it, in White's view: { cp } in centipawns,
// or { mate, winner } with the moves the winner needs to mate (0 once the other side is mated).
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
