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
        // An end the position does not show, a resignation, a flag, a claimed draw or the result
        // an imported game records: { result, text, termination }.
        this.ending = null;
        this.timeControl = ""; // with clocks, as PGN writes it: "180+2"
        // The engine's level and time per move, as levels.js has them, for the whole game.
        this.engineSetting = { level: "full", movetime: "1000" };
        // With clocks, both sides' time left, { w, b } in ms, as each position arose: the start
        // first, then after each move. Take back returns the clocks to the position's.
        this.clockTimes = [];
        this.imported = false; // brought in as PGN: it may be reviewed before it is over
        // The players' names of a finished game brought in, { w, b }; null when the user plays.
        this.players = null;
        this.review = null; // review.js's findings on the game, or null before a review
        this.moves = null; // chess.js's list of the moves played, until the next move
        this.earlier = null; // the position last looked back at, { ply, moves, game }
    }

    get turn() {
        return this.chess.turn();
    }

    get fen() {
        return this.chess.fen();
    }

    // The moves played, chess.js's, oldest first. chess.js works them out afresh each time by
    // taking the game back and replaying it, so the list is kept until a move is played or
    // taken back; it is not to be changed.
    history() {
        this.moves ??= this.chess.history({ verbose: true });
        return this.moves;
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
            const move = this.chess.move({ from, to, promotion });
            this.moves = null;
            return move;
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

    // The game as it stood after its first `ply` moves, for looking back; the last one asked
    // for is kept while the game's moves stay as they are.
    at(ply) {
        const moves = this.history();
        if (this.earlier?.ply !== ply || this.earlier.moves !== moves) {
            const earlier = new Game(this.startFen, this.userColor);
            for (const m of moves.slice(0, ply)) earlier.play(m.from, m.to, m.promotion);
            this.earlier = { ply, moves, game: earlier };
        }
        return this.earlier.game;
    }

    // Drops the moves after the first `ply`, to play on from there.
    truncate(ply) {
        for (let n = this.history().length; n > ply; --n) this.chess.undo();
        this.moves = null;
        this.clockTimes.length = Math.min(this.clockTimes.length, ply + 1);
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

    // The end the position itself shows, or "" if none: a mate, a stalemate, a draw the rules
    // make without a claim, fivefold repetition, the seventy-five-move rule, or no material to
    // mate with. A mate on the seventy-fifth move still counts as mate. A game resigned or lost
    // on time still has moves to look at.
    positionEnd() {
        const chess = this.chess;
        if (chess.isCheckmate())
            return `Checkmate: ${chess.turn() === "w" ? "Black" : "White"} wins.`;
        if (chess.isStalemate()) return "Draw by stalemate.";
        if (this.repetitions() >= 5) return "Draw by fivefold repetition.";
        if (this.halfmoveClock() >= 150) return "Draw by the seventy-five-move rule.";
        if (chess.isInsufficientMaterial()) return "Draw: insufficient material.";
        return "";
    }

    // Whether the position is drawn by a rule of the page's that the engine does not apply
    // (fivefold repetition, the seventy-five-move rule, too little material to mate), though
    // the side to move has moves. A mate or a stalemate the engine itself answers.
    drawnByRule() {
        return (
            Boolean(this.positionEnd()) && !this.chess.isCheckmate() && !this.chess.isStalemate()
        );
    }

    // Moves since the last capture or pawn move.
    halfmoveClock() {
        return Number(this.fen.split(" ")[4]);
    }

    // How often the position on the board has stood in the game: the same pieces, side to move,
    // castling rights and en passant capture (chess.js writes the square only when a capture
    // there is legal).
    repetitions() {
        const key = (fen) => fen.split(" ").slice(0, 4).join(" ");
        const now = key(this.fen);
        const earlier = [this.startFen, ...this.history().map((m) => m.after)];
        return earlier.filter((fen) => key(fen) === now).length;
    }

    // The draw the user may claim in the game as it stands, "threefold" or "fifty", or "".
    claimable() {
        if (this.overText()) return "";
        if (this.repetitions() >= 3) return "threefold";
        if (this.halfmoveClock() >= 100) return "fifty";
        return "";
    }

    // `color` claims the draw the position allows.
    claimDraw(color) {
        const claim = this.claimable();
        if (!claim) return;
        const rule = claim === "threefold" ? "threefold repetition" : "the fifty-move rule";
        this.ending = {
            result: "1/2-1/2",
            text: `Draw by ${rule}, claimed by ${color === "w" ? "White" : "Black"}.`,
            termination: "normal",
        };
    }

    // Takes back the engine's replies since the user's last move, then that move, so that the
    // user is to move again; in a game the engine opened, back to the start with the engine to
    // move. Returns whether anything was taken back. A game that has ended stays as it ended.
    takeBack() {
        const history = [...this.history()];
        if (!history.length || this.overText()) return false;
        this.moves = null;
        while (history.length && history[history.length - 1].color !== this.userColor) {
            history.pop();
            this.chess.undo();
        }
        if (history.length) this.chess.undo();
        this.clockTimes.length = Math.min(this.clockTimes.length, this.history().length + 1);
        return true;
    }

    // The result as PGN writes it.
    result() {
        if (this.ending) return this.ending.result;
        const chess = this.chess;
        if (chess.isCheckmate()) return chess.turn() === "w" ? "0-1" : "1-0";
        return this.overText() ? "1/2-1/2" : "*";
    }

    // The game in PGN, with the players, the date, the result, the opening and how the game
    // ended. `engine` is the engine's name as a player, `opening` { eco, name } or null, and
    // `comments[i]` the comment on the game's move i, or undefined.
    pgn(engine, opening = null, comments = []) {
        const d = this.started;
        const date = [d.getFullYear(), d.getMonth() + 1, d.getDate()]
            .map((n) => String(n).padStart(2, "0"))
            .join(".");
        const chess = new Chess(this.startFen); // it writes a set-up's FEN among the headers
        const headers = [
            ["Event", "Casual game"],
            ["Date", date],
            ["White", this.players?.w ?? (this.userColor === "w" ? "You" : engine)],
            ["Black", this.players?.b ?? (this.userColor === "w" ? engine : "You")],
            ["Result", this.result()],
        ];
        if (this.timeControl) headers.push(["TimeControl", this.timeControl]);
        if (opening) headers.push(["ECO", opening.eco], ["Opening", opening.name]);
        headers.push([
            "Termination",
            this.ending?.termination ?? (this.overText() ? "normal" : "unterminated"),
        ]);
        for (const [name, value] of headers) chess.setHeader(name, value);
        const end = this.overText();
        const moves = this.history();
        moves.forEach((move, i) => {
            chess.move(move);
            // How the game ended closes the last move's comment, for readers.
            const words = [comments[i], i === moves.length - 1 ? end : ""].filter(Boolean);
            if (words.length) chess.setComment(words.join(" "));
        });
        if (!moves.length && end) chess.setComment(end);
        return chess.pgn();
    }
}
