// The review's panel: its progress while it runs, the graph of the game, each side's accuracy and
// average loss, and for the move the board shows, its judgement in words with the engine's move
// as an arrow.
import { Chess } from "chess.js";
import { judgeMoves, sideSummary, whiteWinChance } from "./judge.js";
import { reviewComments, reviewRunning } from "./review.js";

const $ = (id) => document.getElementById(id);

// The engine's best move before each reviewed move, in SAN, or "" where there is none.
export function bestMovesSan(moves, review) {
    return review.best.slice(0, moves.length).map((uci, i) => {
        if (!uci) return "";
        try {
            const chess = new Chess(moves[i].before);
            return chess.move({ from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4] })
                .san;
        } catch {
            return "";
        }
    });
}

// What the review found on `game`'s moves, for the move list and the PGN: { judged, comments },
// empty without a review.
export function reviewFindings(game) {
    if (!game.review) return { judged: [], comments: [] };
    const moves = game.history();
    const judged = judgeMoves(moves, game.review);
    return {
        judged,
        comments: reviewComments(game.review, judged, bestMovesSan(moves, game.review)),
    };
}

// "White: 86 % accuracy, 32 average loss".
function summaryText(judged, color) {
    const summary = sideSummary(judged, color);
    const name = color === "w" ? "White" : "Black";
    if (!summary) return "";
    const counts = Object.entries(summary.counts)
        .filter(([, n]) => n)
        .map(([kind, n]) => `${n} ${kind}${n > 1 ? "s" : ""}`);
    return `${name}: ${Math.round(summary.accuracy)} % accuracy, average loss ${Math.round(summary.loss)}${counts.length ? " (" + counts.join(", ") + ")" : ""}`;
}

// Shows `game`'s review, as far as it has gone, with the position after `shownPly` moves on the
// board; draws the engine's move at a judged move as an arrow on `board`.
export function showReview(game, judged, shownPly, graph, board) {
    const review = game.review;
    $("review").hidden = !review;
    if (!review) {
        board.arrows("review", []);
        return;
    }
    const running = reviewRunning(game);
    $("review-running").hidden = !running;
    $("review-progress").max = review.moves.length + 1;
    $("review-progress").value = review.scores.length;
    graph.show(review, judged, Math.min(shownPly, review.moves.length));
    $("accuracy").textContent = [summaryText(judged, "w"), summaryText(judged, "b")]
        .filter(Boolean)
        .join(" · ");
    const note = $("review-note");
    note.replaceChildren();
    const j = judged[shownPly - 1];
    if (!j?.judgement) {
        board.arrows("review", []);
        return;
    }
    const move = game.history()[shownPly - 1];
    const best = bestMovesSan([move], { best: [review.best[shownPly - 1]] })[0];
    const side = move.color === "w" ? "White" : "Black";
    const chance = (score) =>
        Math.round(move.color === "w" ? whiteWinChance(score) : 100 - whiteWinChance(score));
    const number = `${move.before.split(" ")[5]}${move.color === "w" ? "." : "…"}`;
    const mark = document.createElement("span");
    mark.className = `judgement judged-${j.judgement.name}`;
    mark.textContent = `${j.judgement.name[0].toUpperCase()}${j.judgement.name.slice(1)}`;
    note.append(
        `${number} ${move.san}${j.judgement.mark} `,
        mark,
        `: ${side}'s winning chance fell from ${chance(review.scores[shownPly - 1])} % to ${chance(review.scores[shownPly])} %.${best ? ` ${best} was best.` : ""}`,
    );
    board.arrows("review", [{ uci: review.best[shownPly - 1], brush: "green" }]);
}
