// Judging a reviewed game's moves, as the common chess sites do: each score becomes the side's
// chance of winning, and a move is judged by how much of its side's chance it threw away. The
// scores are White's view, as engine.js's whiteView gives them.

// A score in centipawns as White's winning chance, 0 to 100 %: a logistic curve, 50 % when level,
// about 59 % for a pawn up, 86 % for five pawns up. Scores beyond ten pawns count as ten.
const WinChanceScale = 0.00368208;
const ScoreCap = 1000;

// The judgements, the worst first, with the fall in the mover's winning chance (in points of
// percentage) from which a move earns each.
export const Judgements = [
    { name: "blunder", mark: "??", fall: 15 },
    { name: "mistake", mark: "?", fall: 10 },
    { name: "inaccuracy", mark: "?!", fall: 5 },
];

// White's winning chance in %, for a score: a mate is 100 or 0.
export function whiteWinChance(score) {
    if (score.mate !== undefined) return score.winner === "w" ? 100 : 0;
    const cp = Math.max(-ScoreCap, Math.min(ScoreCap, score.cp));
    return 100 / (1 + Math.exp(-WinChanceScale * cp));
}

// A score in centipawns for White, a mate counting as the cap.
function whiteCentipawns(score) {
    if (score.mate !== undefined) return score.winner === "w" ? ScoreCap : -ScoreCap;
    return Math.max(-ScoreCap, Math.min(ScoreCap, score.cp));
}

// A move's accuracy in %, from the fall in its side's winning chance: 100 for none, about 65 for
// ten points, and less the more it throws away.
function accuracy(fall) {
    return Math.max(0, Math.min(100, 103.1668 * Math.exp(-0.04354 * fall) - 3.1669));
}

// The judgement of each reviewed move of the game: `moves` are the game's moves (chess.js's, with
// their colour), `review` the review's scores of the positions before and after them and the
// engine's best move in each. A move the engine itself chose is never marked down: two short
// searches of neighbouring positions can disagree by a little. Returns one entry a move, as far
// as both its positions have a score: { color, fall, judgement (or null), accuracy, loss (in
// centipawns) }.
export function judgeMoves(moves, review) {
    const judged = [];
    for (let i = 0; i + 1 < review.scores.length && i < moves.length; ++i) {
        const move = moves[i];
        const side = move.color === "w" ? 1 : -1;
        const chance = (score) => (side > 0 ? whiteWinChance(score) : 100 - whiteWinChance(score));
        const best = review.best[i] === move.from + move.to + (move.promotion ?? "");
        const fall = best
            ? 0
            : Math.max(0, chance(review.scores[i]) - chance(review.scores[i + 1]));
        const loss = best
            ? 0
            : Math.max(
                  0,
                  side *
                      (whiteCentipawns(review.scores[i]) - whiteCentipawns(review.scores[i + 1])),
              );
        judged.push({
            color: move.color,
            fall,
            judgement: Judgements.find((j) => fall >= j.fall) ?? null,
            accuracy: accuracy(fall),
            loss,
        });
    }
    return judged;
}

// A side's accuracy (the mean of its moves') and average loss in centipawns, or null if it has no
// judged move.
export function sideSummary(judged, color) {
    const own = judged.filter((j) => j.color === color);
    if (!own.length) return null;
    const mean = (values) => values.reduce((a, b) => a + b, 0) / values.length;
    return {
        accuracy: mean(own.map((j) => j.accuracy)),
        loss: mean(own.map((j) => j.loss)),
        counts: Object.fromEntries(
            Judgements.map((k) => [k.name, own.filter((j) => j.judgement === k).length]),
        ),
    };
}
