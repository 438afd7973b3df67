// The game being played: the position it started from, the moves since and the side the user
// plays. The rules, SAN and PGN come from chess.js.
import { Chess } from "chess.js";

export const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

export function colorName(color) {
    return color === "w" ? "white" : "black";
}

export class Game {
    constructor(startFen = StartFen, userColor = "w") {
        this.startFen = startFen;
        this.userColor = userColor;
        this.chess = new Chess(startFen);
        this.started = new Date();
        this.engineSettings = []; // how the engine played each of its moves, as levels.js has it
        // An end the position does not show, a resignation or a flag: { result, text,
        // termination }.
        this.ending = null;
        this.timeControl = ""; // with clocks, as PGN writes it: "180+2"
    }

    get turn() {
        return this.chess.turn();
    }

    get fen() {
        return this.chess.fen();
    }

    history() {
        return this.chess.history({ verbose: true });
    }

    lastMove() {
        const history = this.history();
        return history[history.length - 1];
    }

    // The legal destinations of every piece of the side to move, for the board.
    destinations() {
        const dests = new Map();
        for (const m of this.chess.moves({ verbose: true })) {
            if (!dests.has(m.from)) dests.set(m.from, []);
            dests.get(m.from).push(m.to);
        }
        return dests;
    }

    // Plays a move given as squares (and a promotion piece); returns it, or null if the rules
    // refuse it.
    play(from, to, promotion) {
        try {
            return this.chess.move({ from, to, promotion });
        } catch {
            return null;
        }
    }

    // Plays a move in the engine's notation, "e7e8q".
    playUci(uci) {
        return this.play(uci.slice(0, 2), uci.slice(2, 4), uci[4]);
    }

    // The moves since the start, in the engine's notation.
    uciMoves() {
        return this.history().map((m) => m.from + m.to + (m.promotion || ""));
    }

    // The game as it stood after its first `ply` moves, for looking back.
    at(ply) {
        const earlier = new Game(this.startFen, this.userColor);
        for (const m of this.history().slice(0, ply)) earlier.play(m.from, m.to, m.promotion);
        return earlier;
    }

    // Drops the moves after the first `ply`, to play on from there.
    truncate(ply) {
        for (let n = this.history().length; n > ply; --n) this.chess.undo();
    }

    isPromotion(from, to) {
        const piece = this.chess.get(from);
        return piece && piece.type === "p" && (to[1] === "8" || to[1] === "1");
    }

    // `color` gives up the game.
    resign(color) {
        const [loser, winner] = color === "w" ? ["White", "Black"] : ["Black", "White"];
        this.ending = {
            result: color === "w" ? "0-1" : "1-0",
            text: `${loser} resigns: ${winner} wins.`,
            termination: "normal",
        };
    }

    // `color`'s time has run out: the other side wins, unless it has nothing left to mate with.
    loseOnTime(color) {
        const [loser, winner] = color === "w" ? ["White", "Black"] : ["Black", "White"];
        const winnerColor = color === "w" ? "b" : "w";
        const pieces = this.chess
            .board()
            .flat()
            .filter((p) => p && p.color === winnerColor);
        const cannotMate = pieces.length === 1 || this.chess.isInsufficientMaterial();
        this.ending = {
            result: cannotMate ? "1/2-1/2" : color === "w" ? "0-1" : "1-0",
            text: cannotMate
                ? `Draw: ${loser}'s time ran out, and ${winner} cannot mate.`
                : `${winner} wins on time.`,
            termination: "time forfeit",
        };
    }

    // What the game's end is, or "" while it goes on.
    overText() {
        return this.ending?.text ?? this.positionEnd();
    }

    // The end the position itself shows, a mate or a draw by the rules, or "" if none: a game
    // resigned or lost on time still has moves to look at.
    positionEnd() {
        const chess = this.chess;
        if (chess.isCheckmate())
            return `Checkmate: ${chess.turn() === "w" ? "Black" : "White"} wins.`;
        if (chess.isStalemate()) return "Draw by stalemate.";
        if (chess.isThreefoldRepetition()) return "Draw by threefold repetition.";
        if (chess.isDrawByFiftyMoves()) return "Draw by the fifty-move rule.";
        if (chess.isInsufficientMaterial()) return "Draw: insufficient material.";
        return "";
    }

    // Takes back the engine's replies since the user's last move, then that move, so that the
    // user is to move again; in a game the engine opened, back to the start with the engine to
    // move. Returns whether anything was taken back. A resigned game stays as it ended.
    takeBack() {
        const history = this.history();
        if (!history.length || this.ending) return false;
        while (history.length && history[history.length - 1].color !== this.userColor) {
            history.pop();
            this.chess.undo();
        }
        if (history.length) this.chess.undo();
        return true;
    }

    // The result as PGN writes it.
    result() {
        if (this.ending) return this.ending.result;
        const chess = this.chess;
        if (chess.isCheckmate()) return chess.turn() === "w" ? "0-1" : "1-0";
        return this.overText() ? "1/2-1/2" : "*";
    }

    // The game in PGN, with the players, the date, the result and how the game ended.
    // `engine` is the engine's name as a player.
    pgn(engine) {
        const d = this.started;
        const date = [d.getFullYear(), d.getMonth() + 1, d.getDate()]
            .map((n) => String(n).padStart(2, "0"))
            .join(".");
        const chess = this.chess;
        chess.setHeader("Event", "Casual game");
        chess.setHeader("Date", date);
        chess.setHeader("White", this.userColor === "w" ? "You" : engine);
        chess.setHeader("Black", this.userColor === "w" ? engine : "You");
        chess.setHeader("Result", this.result());
        if (this.timeControl) chess.setHeader("TimeControl", this.timeControl);
        chess.setHeader(
            "Termination",
            this.ending?.termination ?? (this.overText() ? "normal" : "unterminated"),
        );
        // How the game ended, as a comment on its last move, for readers.
        const end = this.overText();
        if (end) chess.setComment(end);
        const pgn = chess.pgn();
        if (end) chess.removeComment();
        return pgn;
    }
}
