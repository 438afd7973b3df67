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

// Reads a game in PGN. Returns { game }, which goes on from its last position with the user
// playing the side to move, or { error } saying in plain words why it cannot be played.
export function readPgn(text) {
    if (!text.trim()) return { error: "Paste a game in PGN first." };
    const chess = new Chess();
    try {
        chess.loadPgn(text);
    } catch (error) {
        const move = /Invalid move in PGN: (\S+)/.exec(error.message);
        return {
            error: move
                ? `"${move[1]}" is not a legal move at that point of the game.`
                : 'This is not a game in PGN: its moves read like 1. e4 e5 2. Nf3, after any [Tag "value"] lines.',
        };
    }
    const history = chess.history({ verbose: true });
    const startFen = history.length ? history[0].before : chess.fen();
    const { error } = readFen(startFen);
    if (error) return { error: `The game's starting position cannot be played: ${error}` };
    const game = new Game(startFen, chess.turn());
    for (const move of history) game.play(move.from, move.to, move.promotion);
    return { game };
}
