// What has just happened in the game, for the sounds and the words read out: each call tells
// what changed since the last one. A new game, a take back or a game brought in is no news.
let seen = { game: null, plies: 0, over: "" };

// Returns { move, ended }: the move just made (chess.js's) or null, and the text of the end
// the game has just come to, or "".
export function changesIn(game) {
    const plies = game.history().length;
    const over = game.overText();
    const same = seen.game === game;
    const move = same && plies === seen.plies + 1 ? game.lastMove() : null;
    const ended = same && over && !seen.over ? over : "";
    seen = { game, plies, over };
    return { move, ended };
}
