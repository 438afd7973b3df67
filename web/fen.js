// Reading a position the user types for set-up. chess.js checks a FEN's form, but it lets
// through positions no game can reach, such as one where the side not to move is in check,
// and then the engine takes a king. Each refusal says in plain words what is wrong.
import { Chess } from "chess.js";

const PieceLetters = "KQRBNPkqrbnp";
const Castling = {
    K: { king: "e1", rook: "h1", color: "white" },
    Q: { king: "e1", rook: "a1", color: "white" },
    k: { king: "e8", rook: "h8", color: "black" },
    q: { king: "e8", rook: "a8", color: "black" },
};

// Returns { fen } with the position in full, or { error } with why it cannot be set up. The
// last four fields may be left out: no castling, no en passant, and move 1.
export function readFen(text) {
    const fields = text.trim().split(/\s+/).filter(Boolean);
    if (!fields.length) return { error: "Type or paste a position in FEN first." };
    if (fields.length > 6)
        return {
            error: "A FEN has at most six fields: the pieces, the side to move, castling, en passant and the two move counters.",
        };
    const [placement, side, castling = "-", enPassant = "-", halfmoves = "0", moves = "1"] = fields;

    // The pieces, rank 8 first.
    const ranks = placement.split("/");
    if (ranks.length !== 8)
        return {
            error: `The pieces need eight ranks separated by "/"; this has ${ranks.length}.`,
        };
    const board = new Map(); // square → piece letter
    for (let i = 0; i < 8; ++i) {
        const rank = 8 - i;
        let file = 0;
        for (const c of ranks[i]) {
            if (c >= "1" && c <= "8") file += Number(c);
            else if (PieceLetters.includes(c)) {
                if (file < 8) board.set("abcdefgh"[file] + rank, c);
                ++file;
            } else
                return {
                    error: `"${c}" is not a piece: White's are K, Q, R, B, N and P, Black's the same in small letters, and digits count empty squares.`,
                };
        }
        if (file !== 8) return { error: `Rank ${rank} covers ${file} squares instead of 8.` };
    }

    // The other fields.
    if (side === undefined)
        return { error: 'Say whose move it is: add " w" or " b" after the pieces.' };
    if (side !== "w" && side !== "b")
        return { error: `The side to move must be "w" or "b", not "${side}".` };
    if (!/^(-|[KQkq]+)$/.test(castling) || new Set(castling).size !== castling.length)
        return { error: 'Castling rights must be "-" or some of the letters K, Q, k and q.' };
    if (!/^(-|[a-h][36])$/.test(enPassant))
        return {
            error: 'The en passant square must be "-" or a square on the third or sixth rank.',
        };
    if (!/^\d+$/.test(halfmoves))
        return { error: "The halfmove clock (the fifth field) must be a whole number." };
    if (!/^[1-9]\d*$/.test(moves))
        return { error: "The move number (the last field) must be a whole number from 1." };

    // What no game can reach.
    const count = (letter) => [...board.values()].filter((p) => p === letter).length;
    for (const [name, king, pawn, pieces] of [
        ["White", "K", "P", "QRBN"],
        ["Black", "k", "p", "qrbn"],
    ]) {
        const kings = count(king);
        if (kings === 0) return { error: `${name} has no king.` };
        if (kings > 1) return { error: `${name} has ${kings} kings; each side has exactly one.` };
        const pawns = count(pawn);
        if (pawns > 8) return { error: `${name} has ${pawns} pawns; each side has at most 8.` };
        // Beyond the first queen, two rooks, two bishops and two knights, pieces come from
        // promoted pawns, and those pawns are gone.
        const [q, r, b, n] = [...pieces].map(count);
        const promoted =
            Math.max(0, q - 1) + Math.max(0, r - 2) + Math.max(0, b - 2) + Math.max(0, n - 2);
        if (promoted > 8 - pawns)
            return {
                error: `${name} has more pieces than promotions of its missing pawns could give.`,
            };
    }
    for (const [square, piece] of board)
        if ((piece === "P" || piece === "p") && (square[1] === "1" || square[1] === "8"))
            return {
                error: `The pawn on ${square} cannot be there: pawns never stand on the first or last rank.`,
            };
    for (const right of castling === "-" ? [] : castling) {
        const { king, rook, color } = Castling[right];
        const upper = color === "white";
        if (board.get(king) !== (upper ? "K" : "k") || board.get(rook) !== (upper ? "R" : "r"))
            return {
                error: `Castling right "${right}" needs the ${color} king on ${king} and a ${color} rook on ${rook}.`,
            };
    }
    if (enPassant !== "-") {
        // The side not to move has just pushed a pawn two squares, past this one.
        const file = enPassant[0];
        const [rank, pawnRank, fromRank, pawn] =
            side === "w" ? ["6", "5", "7", "p"] : ["3", "4", "2", "P"];
        const who = side === "w" ? "Black" : "White";
        if (enPassant[1] !== rank)
            return {
                error: `With ${side === "w" ? "White" : "Black"} to move, the en passant square is on the ${rank === "6" ? "sixth" : "third"} rank, not ${enPassant}.`,
            };
        if (
            board.get(file + pawnRank) !== pawn ||
            board.has(enPassant) ||
            board.has(file + fromRank)
        )
            return {
                error: `${enPassant} cannot be the en passant square: no ${who.toLowerCase()} pawn can just have moved from ${file}${fromRank} to ${file}${pawnRank}.`,
            };
    }

    const order =
        castling === "-"
            ? "-"
            : [...castling].sort((a, b) => "KQkq".indexOf(a) - "KQkq".indexOf(b)).join("");
    const fen = [placement, side, order, enPassant, halfmoves, moves].join(" ");
    let chess;
    try {
        chess = new Chess(fen);
    } catch {
        return { error: "This position cannot be set up." }; // all the above should catch first
    }
    const mover = side === "w" ? "White" : "Black";
    const other = side === "w" ? "Black" : "White";
    const kingSquare = (color) => chess.findPiece({ type: "k", color })[0];
    const otherColor = side === "w" ? "b" : "w";
    if (chess.isAttacked(kingSquare(otherColor), side))
        return {
            error: `${other} is in check with ${mover} to move: ${mover} could take the king, which no game allows.`,
        };
    if (chess.attackers(kingSquare(side), otherColor).length > 2)
        return { error: `${mover} is in check from three pieces at once, which no move can give.` };
    return { fen };
}
