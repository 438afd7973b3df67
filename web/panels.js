// The panels beside the board: the status line, the engine's view, the move list and the FEN.
import { Chess } from "chess.js";

const $ = (id) => document.getElementById(id);

export function showStatus(text, over) {
    $("status").textContent = text;
    $("status").className = over ? "over" : "";
}

export function showMoves(game) {
    $("moves").innerHTML = "";
    const sans = game.history().map((m) => m.san);
    for (let i = 0; i < sans.length; i += 2) {
        const li = document.createElement("li");
        li.textContent = sans[i] + (sans[i + 1] ? " " + sans[i + 1] : "");
        $("moves").appendChild(li);
    }
    $("fen").textContent = game.fen;
}

// Mates are scored near 100000: show them as moves to mate.
function scoreText(cp, engineColor) {
    const white = engineColor === "w" ? cp : -cp;
    if (Math.abs(cp) > 99900) {
        const plies = 99999 - Math.abs(cp);
        const moves = Math.ceil(plies / 2);
        return white > 0 ? `#${moves}` : `#-${moves}`;
    }
    return (white >= 0 ? "+" : "") + (white / 100).toFixed(2);
}

// The principal variation in SAN with move numbers, as far as its moves are legal from `fen`.
function pvText(fen, uciMoves) {
    const line = new Chess(fen);
    const words = [];
    for (const m of uciMoves) {
        const number = line.moveNumber();
        const white = line.turn() === "w";
        let san;
        try {
            san = line.move({ from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4] }).san;
        } catch {
            break;
        }
        if (white) words.push(`${number}.`);
        else if (!words.length) words.push(`${number}…`);
        words.push(san);
    }
    return words.join(" ");
}

// The engine's latest report: `info.pv` goes on from `game`'s current position, and the score
// is for `info.color`, the side that was to move when the search began.
export function showInfo(info, game) {
    $("depth").textContent = info.depth;
    $("score").textContent = scoreText(info.cp, info.color);
    $("pv").textContent = pvText(game.fen, info.pv);
}

export function clearInfo() {
    $("depth").textContent = $("score").textContent = "–";
    $("pv").textContent = "";
}
