// The game review: each position of a finished or imported game searched briefly at full
// strength, one after another, and its score and best move kept with the game (game.review) for
// judge.js. The review belongs to the moves it was made of: { moves (the engine's notation),
// scores (White's view, one a position, the start first), best (the engine's move in each,
// null where the game had ended) }.
import { whiteView } from "./engine.js";

export const ReviewMs = 300; // each position's search

// Starts a review of `game`'s moves as they stand, keeping what an earlier review of the same
// moves found.
export function startReview(game) {
    const old = game.review;
    game.review = { moves: game.uciMoves(), scores: old?.scores ?? [], best: old?.best ?? [] };
}

// Whether the review has positions left to search.
export function reviewRunning(game) {
    const review = game.review;
    return Boolean(review) && review.scores.length <= review.moves.length;
}

// Drops the review once the game no longer begins with the moves reviewed, after a take back or
// a new line.
export function fitReview(game) {
    const review = game.review;
    if (!review) return;
    const moves = game.uciMoves();
    if (review.moves.some((move, i) => moves[i] !== move)) game.review = null;
}

export class Reviewer {
    // onFound() once another position's score is in game.review; threads() the engine's
    // options for the threads a review takes.
    constructor(engine, onFound, threads) {
        this.engine = engine;
        this.onFound = onFound;
        this.threads = threads;
        this.searching = null; // { review, ply, turn, score, search } of the search under way
        this.listener = {
            onInfo: (report) => {
                if (report.line === 1 && this.searching)
                    this.searching.score = whiteView(report.score, this.searching.turn);
            },
            onBestMove: (uci) => {
                const found = this.searching;
                this.searching = null;
                const { review, ply } = found;
                if (review.scores.length === ply && found.score) {
                    review.scores.push(found.score);
                    review.best.push(uci);
                }
                this.onFound();
            },
        };
    }

    // Searches the next position `game`'s review lacks, unless that search runs already. The
    // engine answers a mated or stalemated position at once, with its score and no move; a draw
    // by a rule the engine does not know is level, with no search.
    step(game) {
        const review = game.review;
        const ply = review.scores.length;
        const under = this.searching;
        const running =
            under?.review === review &&
            under.ply === ply &&
            !under.search.stopped &&
            !under.search.answered;
        if (running) return;
        const position = game.at(ply);
        if (position.drawnByRule()) {
            review.scores.push({ cp: 0 });
            review.best.push(null);
            this.onFound();
            return;
        }
        this.engine.stop();
        if (!this.engine.ready) return; // back when the fresh engine is ready
        this.engine.setOptions({ MultiPV: 1, UCI_LimitStrength: false, ...this.threads() });
        const moves = review.moves.slice(0, ply);
        const search = this.engine.search(
            game.startFen,
            moves,
            `movetime ${ReviewMs}`,
            this.listener,
        );
        this.searching = { review, ply, turn: position.turn, score: null, search };
    }
}

// A score as PGN comments write it, from White's side in pawns: "[%eval 0.35]", "[%eval #-3]"
// for Black mating in three; none for a position already mated.
function evalTag(score) {
    if (score.mate === 0) return "";
    if (score.mate !== undefined) return `[%eval #${score.winner === "w" ? "" : "-"}${score.mate}]`;
    return `[%eval ${(score.cp / 100).toFixed(2)}]`;
}

// The review's comments on the game's moves for its PGN, one a reviewed move: the score after it
// and, for a judged move, its judgement and the engine's move: "[%eval -1.20] Mistake: Nc3 was
// best." `judged` is judge.js's, `bestSan[i]` the engine's move before move i in SAN.
export function reviewComments(review, judged, bestSan) {
    return judged.map((j, i) => {
        const words = [evalTag(review.scores[i + 1])];
        if (j.judgement) {
            const name = j.judgement.name[0].toUpperCase() + j.judgement.name.slice(1);
            words.push(`${name}: ${bestSan[i]} was best.`);
        }
        return words.filter(Boolean).join(" ");
    });
}
