// The game in and out of the page as PGN: downloaded as a .pgn file, and read back from text
// the user pastes.
import { Chess } from "chess.js";
import { readFen } from "./fen.js";
import { Game } from "./game.js";

// Saves `pgn` as a file, named for the day `game` started: "sorvane-2026-12-07.pgn".
export function downloadPgn(game, pgn) {
    const d = game.started;
    const date = [d.getFullYear(), d.getMonth() + 1, d.getDate()]
        .map((n) => String(n).padStart(2, "0"))
        .join("-");
    const url = URL.createObjectURL(new Blob([pgn], { type: "application/x-chess-pgn" }));
    const link = document.createElement("a");
    link.href = url;
    link.download = `sorvane-${date}.pgn`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// How an imported game ended, as its result tells: the PGN does not say why.
const Results = {
    "1-0": "White won, as the game records.",
    "0-1": "Black won, as the game records.",
    "1/2-1/2": "Drawn, as the game records.",
};

const NotPgn =
    'That does not look like a game in PGN: its moves read like 1. e4 e5 2. Nf3, after any [Tag "value"] lines.';
// A move as PGN writes it: "e4", "Nbxd7", "exd8=Q+", "O-O-O".
const MoveShape = /^([NBRQK]?[a-h]?[1-8]?x?[a-h][1-8](=?[NBRQ])?|O-O(-O)?)[+#]?[!?]*$/;

// Why chess.js could not read the game, in plain words. `chess` holds the moves it played
// before the one it refused, so the refused move's number and side are those of its position.
function refusal(error, chess) {
    const word = /Invalid move in PGN: (\S+)/.exec(error.message)?.[1];
    if (!word || (!MoveShape.test(word) && !chess.history().length)) return NotPgn;
    const side = chess.turn() === "w" ? "White" : "Black";
    const where = `Move ${chess.moveNumber()} for ${side}, "${word}",`;
    return MoveShape.test(word) ? `${where} is not legal there.` : `${where} is not a move.`;
}

// Reads a game in PGN. Returns { game }, or { error } saying in plain words why it cannot be
// played. A game the PGN gives a result (1-0, 0-1 or ½-½) is over, with that result and its
// players' names, to look over and review from White's side; one still going on ("*") goes on
// from its last position, the user playing the side to move.
export function readPgn(text) {
    if (!text.trim()) return { error: "Paste a game in PGN first." };
    const chess = new Chess();
    try {
        chess.loadPgn(text);
    } catch (error) {
        return { error: refusal(error, chess) };
    }
    const history = chess.history({ verbose: true });
    const startFen = history.length ? history[0].before : chess.fen();
    const { error } = readFen(startFen);
    if (error) return { error: `The game's starting position cannot be played: ${error}` };
    const game = new Game(startFen, chess.turn());
    for (const move of history) game.play(move.from, move.to, move.promotion);
    game.imported = true;
    const headers = chess.getHeaders();
    const { Result: result, Termination: termination = "normal" } = headers;
    if (Results[result] && !game.positionEnd())
        game.ending = { result, text: Results[result], termination };
    // A finished game is for looking over as its players played it, White at the foot.
    if (game.overText()) {
        const name = (tag, color) => (headers[tag] && headers[tag] !== "?" ? headers[tag] : color);
        game.players = { w: name("White", "White"), b: name("Black", "Black") };
        game.userColor = "w";
    }
    return { game };
}
