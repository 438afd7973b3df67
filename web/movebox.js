// Reading a move the user types: as a score sheet writes it (e4, Nf3, exd5, O-O, e8=Q) or as
// the squares it goes from and to (g1f3, e7e8q), with chess.js. A move that cannot be played is
// refused in plain words that say why.
import { Chess } from "chess.js";

const PieceNames = { p: "pawn", n: "knight", b: "bishop", r: "rook", q: "queen", k: "king" };
// A move as a score sheet writes it: piece, the square or file or rank it comes from, capture,
// the square it goes to, promotion.
const Written = /^([NBRQK])?([a-h])?([1-8])?x?([a-h][1-8])(=?([NBRQ]))?[+#]?[!?]*$/;
// A move as its squares: "g1f3", "g1-f3", "e7e8q".
const Squares = /^([a-h][1-8])[-x]?([a-h][1-8])=?([nbrqNBRQ])?$/;

// Returns { move: { from, to, promotion } } for the move `text` names in the position `fen`, or
// { error } saying why it cannot be played.
export function readMove(fen, text) {
    let typed = text.trim();
    if (!typed) return { error: "Type a move first, such as e4, Nf3, O-O or g1f3." };
    // Castling as some write it, with noughts or small letters.
    typed = typed.replace(/^[0oO]-[0oO]-[0oO]/, "O-O-O").replace(/^[0oO]-[0oO](?!-)/, "O-O");
    // A piece letter in small type, as typed on a phone: n, r, q and k are no file's. A "b" may
    // be a bishop or a pawn on the b-file, so both are tried.
    if (/^[nrqk][a-h1-8x]/.test(typed)) typed = typed[0].toUpperCase() + typed.slice(1);
    const tries = /^b[a-h1-8x]/.test(typed) ? [typed, "B" + typed.slice(1)] : [typed];
    const chess = new Chess(fen);
    // chess.js would take "a7a8" for some promotion: the user says which.
    const squares = Squares.exec(typed);
    if (
        squares &&
        !squares[3] &&
        chess
            .moves({ verbose: true })
            .some((m) => m.from === squares[1] && m.to === squares[2] && m.promotion)
    )
        return { error: refusal(chess, typed) };
    for (const attempt of tries) {
        try {
            const move = chess.move(attempt, { strict: false });
            return { move: { from: move.from, to: move.to, promotion: move.promotion } };
        } catch {
            // not this reading
        }
    }
    return { error: refusal(chess, tries[tries.length - 1]) };
}

// Why `typed` is no legal move in `chess`'s position.
function refusal(chess, typed) {
    const legal = chess.moves({ verbose: true });
    const check = chess.inCheck() ? ": your king is in check" : "";
    const squares = Squares.exec(typed);
    if (squares) {
        const [, from, to] = squares;
        const piece = chess.get(from);
        if (!piece) return `There is no piece on ${from}.`;
        const name = PieceNames[piece.type];
        if (piece.color !== chess.turn()) return `The ${name} on ${from} is not yours.`;
        if (legal.some((m) => m.from === from && m.to === to && m.promotion))
            return `Say what the pawn becomes: ${from}${to}q, ${from}${to}r, ${from}${to}b or ${from}${to}n.`;
        return `The ${name} on ${from} cannot go to ${to}${check}.`;
    }
    if (/^O-O(-O)?[+#]?$/.test(typed))
        return `You cannot castle ${typed.startsWith("O-O-O") ? "queenside" : "kingside"} now${check}.`;
    const written = Written.exec(typed);
    if (written) {
        const [, letter = "P", file, rank, to, , promotion] = written;
        const type = letter.toLowerCase();
        const name = PieceNames[type];
        const fits = legal.filter(
            (m) =>
                m.piece === type &&
                m.to === to &&
                (!file || m.from[0] === file) &&
                (!rank || m.from[1] === rank),
        );
        if (!fits.length) return `No ${name} of yours can go to ${to}${check}.`;
        if (fits.some((m) => m.promotion) && !promotion)
            return `Say what the pawn becomes: ${to}=Q, ${to}=R, ${to}=B or ${to}=N.`;
        const froms = [...new Set(fits.map((m) => m.from))];
        if (froms.length > 1)
            return `The ${name}s on ${froms.join(" and ")} can each go to ${to}: say which, as ${fits.map((m) => m.san).join(" or ")}.`;
    }
    return `"${typed}" is not a move: type it as e4, Nf3, exd5, O-O, e8=Q or g1f3.`;
}
