// Analysis and hints. In analysis the engine looks at the position on the board for as long as
// the user likes, at full strength, and shows its three best lines with their scores and the
// best move as an arrow; it plays no move in the game meanwhile. A hint is a short search of
// the user's position whose move shows as an arrow, unplayed.
import { whiteView } from "./engine.js";
import { pvText, scoreText } from "./panels.js";

const $ = (id) => document.getElementById(id);
const Lines = 3;
const HintMs = 300;
const Brushes = ["blue", "paleGrey", "paleGrey"]; // the best line's arrow stands out

export class Analysis {
    // onScore() when the best line's score changes, for the evaluation bar; threads() the
    // engine's options for the threads an analysis takes.
    constructor(engine, board, onScore, threads) {
        this.engine = engine;
        this.board = board;
        this.onScore = onScore;
        this.threads = threads;
        this.search = null; // the engine's search of the position shown
        this.on = false;
        this.lines = []; // { depth, score (White's view), pv }, best first
        this.listener = {
            onInfo: (report) => this.report(report),
            onBestMove: () => {}, // a mate or the depth ended the search: its lines stand
        };
    }

    // The best line's score, or null before the first.
    get score() {
        return this.lines[0]?.score ?? null;
    }

    toggle() {
        this.on = !this.on;
        $("analyse").setAttribute("aria-pressed", this.on);
        $("analysis").hidden = !this.on;
        this.shown = null;
        this.lines = [];
        if (!this.on) {
            this.engine.stop(); // an analysis runs until it is stopped
            this.board.arrows("analysis", []);
        }
        this.showLines();
    }

    // Analyses `shown`, the game as far as the board shows it, unless that analysis runs
    // already or has ended by itself. A search under way is stopped first; if the engine has to
    // start afresh, its onReady() brings the call back. A mated or stalemated position goes to
    // the engine like any other, which answers at once with its score and no line; a draw by a
    // rule the engine does not know is level.
    run(shown) {
        if (!this.on) return;
        const key = shown.startFen + shown.uciMoves().join(" ");
        if (this.shown?.key === key && this.search && !this.search.stopped) return;
        if (this.shown?.key !== key) {
            this.shown = { key, fen: shown.fen, turn: shown.turn };
            this.lines = []; // they were of another position
            this.showLines();
            this.onScore();
        }
        this.engine.stop();
        if (shown.drawnByRule()) {
            if (!this.lines.length) this.report({ depth: 0, line: 1, score: { cp: 0 }, pv: [] });
            return;
        }
        if (!this.engine.ready) return; // back when the engine is ready
        this.engine.setOptions({ MultiPV: Lines, UCI_LimitStrength: false, ...this.threads() });
        this.search = this.engine.search(
            shown.startFen,
            shown.uciMoves(),
            "infinite",
            this.listener,
        );
    }

    // Starts the analysis afresh, as when the threads it may take change.
    restart(shown) {
        this.search = null;
        this.run(shown);
    }

    report({ depth, line, score, pv }) {
        this.lines[line - 1] = { depth, score: whiteView(score, this.shown.turn), pv };
        this.showLines();
        this.board.arrows(
            "analysis",
            this.lines.map((l, i) => ({ uci: l.pv[0], brush: Brushes[i] })),
        );
        if (line === 1) this.onScore();
    }

    showLines() {
        $("analysis-depth").textContent = this.lines[0]?.depth ?? "–";
        $("analysis-lines").replaceChildren(
            ...this.lines.map((l) => {
                const item = document.createElement("li");
                item.dataset.move = l.pv[0] ?? ""; // in the engine's notation, for the page's test
                const score = document.createElement("b");
                score.textContent = scoreText(l.score);
                item.append(score, " ", pvText(this.shown.fen, l.pv));
                return item;
            }),
        );
    }
}

// Shows a hint for `game`, whose position the user is to move in: the move of a short
// full-strength search on one thread, as a green arrow, if `stillShown()` when it comes.
export function showHint(engine, game, board, stillShown) {
    if (!engine.ready || engine.searching) return;
    engine.setOptions({
        MultiPV: 1,
        UCI_LimitStrength: false,
        ...(engine.threaded ? { Threads: 1 } : {}),
    });
    engine.search(game.startFen, game.uciMoves(), `movetime ${HintMs}`, {
        onInfo: () => {},
        onBestMove: (uci) => uci && stillShown() && board.arrows("hint", [{ uci, brush: "green" }]),
    });
}
