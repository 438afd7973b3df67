// Words for people who listen to the page rather than look at it: the engine's moves and the
// end of the game go to a live region, which screen readers read out as it changes.
const PieceNames = { p: "pawn", n: "knight", b: "bishop", r: "rook", q: "queen", k: "king" };

// "knight g8 to f6", "pawn e5 takes knight on d4, check", "castles kingside".
export function moveInWords(move) {
    let words;
    if (move.san.startsWith("O-O-O")) words = "castles queenside";
    else if (move.san.startsWith("O-O")) words = "castles kingside";
    else {
        const target = move.captured ? `takes ${PieceNames[move.captured]} on` : "to";
        words = `${PieceNames[move.piece]} ${move.from} ${target} ${move.to}`;
    }
    if (move.promotion) words += `, becomes a ${PieceNames[move.promotion]}`;
    if (move.san.endsWith("#")) words += ", checkmate";
    else if (move.san.endsWith("+")) words += ", check";
    return words;
}

// Reads out what changes.js found: the engine's move ("Sorvane played knight g8 to f6.") and
// the game's end.
export function announceChanges({ move, ended }, game) {
    const words = [];
    if (move && move.color !== game.userColor) words.push(`Sorvane played ${moveInWords(move)}.`);
    if (ended) words.push(ended);
    if (words.length) document.getElementById("announce").textContent = words.join(" ");
}
