// The panels beside the board: the status line, the players, the engine's view, the move list
// and the FEN.
import { Chess } from "chess.js";

const $ = (id) => document.getElementById(id);

export function showStatus(text, over) {
    $("status").textContent = text;
    $("status").className = over ? "over" : "";
}

// The players' names in the bars above and below the board's clocks: `bottom` ("w" or "b") is
// the side at the foot of the board, `names` { w, b }.
export function showPlayers(bottom, names) {
    const top = bottom === "w" ? "b" : "w";
    document.querySelector("#player-top .player-name").textContent = names[top];
    document.querySelector("#player-bottom .player-name").textContent = names[bottom];
}

// The moves in rows of a move number, White's move and Black's, each move a link to the
// position after it, with its judgement from a review (judge.js's, one a move) after it; the move
// `shown` (a number of moves) is marked and kept in view. And the shown position's FEN.
export function showMoves(game, shown = game, judged = []) {
    const list = $("moves");
    list.innerHTML = "";
    const ply = shown.history().length;
    let row = null,
        marked = null;
    game.history().forEach((move, i) => {
        if (move.color === "w" || !row) {
            row = document.createElement("li");
            const number = document.createElement("span");
            number.className = "number";
            number.textContent = move.before.split(" ")[5] + ".";
            row.append(number, document.createElement("span"), document.createElement("span"));
            list.append(row);
            if (move.color === "b") row.children[1].textContent = "…"; // a set-up with Black to move
        }
        const cell = row.children[move.color === "w" ? 1 : 2];
        cell.textContent = move.san;
        cell.dataset.ply = i + 1;
        cell.className = "move";
        const judgement = judged[i]?.judgement;
        if (judgement) {
            const mark = document.createElement("span");
            mark.className = "judgement";
            mark.textContent = judgement.mark;
            mark.title = judgement.name;
            cell.classList.add(`judged-${judgement.name}`);
            cell.append(mark);
        }
        if (i + 1 === ply) (marked = cell).classList.add("shown");
    });
    if (marked && ply < game.history().length) {
        const row = marked.parentNode;
        if (
            row.offsetTop < list.scrollTop ||
            row.offsetTop + row.offsetHeight > list.scrollTop + list.clientHeight
        )
            list.scrollTop = row.offsetTop - list.clientHeight / 2;
    } else list.scrollTop = list.scrollHeight;
    $("fen").textContent = shown.fen;
}

// A score from White's side, as engine.js's whiteView gives it: "White +0.35",
// "White −1.20", "Black mates in 2".
export function scoreText(score) {
    if (score.mate !== undefined) {
        const winner = score.winner === "w" ? "White" : "Black";
        return score.mate ? `${winner} mates in ${score.mate}` : `${winner} has mated`;
    }
    return `White ${score.cp < 0 ? "−" : "+"}${(Math.abs(score.cp) / 100).toFixed(2)}`;
}

// The principal variation in SAN with move numbers, as far as its moves are legal from `fen`.
export function pvText(fen, uciMoves) {
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

// The engine's latest report: `info.pv` goes on from `game`'s current position, and
// `info.score` is from White's side.
export function showInfo(info, game) {
    $("info-empty").hidden = true;
    $("info-figures").hidden = false;
    $("depth").textContent = info.depth;
    $("score").textContent = scoreText(info.score);
    $("pv").textContent = pvText(game.fen, info.pv);
}

// Before the engine's first report on the game, the panel says what it will show.
export function clearInfo() {
    $("depth").textContent = $("score").textContent = $("pv").textContent = "";
    $("info-empty").hidden = false;
    $("info-figures").hidden = true;
}
