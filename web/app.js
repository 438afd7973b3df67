// The page: a board to play on against the engine running in a Web Worker. The rules, SAN
// and PGN come from chess.js; the engine only ever receives "position fen ... moves ..." and
// "go movetime N".
import { Chessground } from "chessground";
import { Chess } from "chess.js";

const $ = (id) => document.getElementById(id);
const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

let chess = new Chess();
let setupFen = StartFen; // the position the game started from
let userColor = "w";
let thinking = false;
let generation = 0; // bumped whenever the game changes under a running search
let engineReady = false;
let searchGeneration = 0; // the generation the running search belongs to

const engine = new Worker("worker.js");
const board = Chessground($("board"), {
    movable: { free: false, showDests: true, events: { after: onUserMove } },
    animation: { duration: 150 },
});

// The legal destinations of every piece of the side to move, for the board.
function destinations() {
    const dests = new Map();
    for (const m of chess.moves({ verbose: true })) {
        if (!dests.has(m.from)) dests.set(m.from, []);
        dests.get(m.from).push(m.to);
    }
    return dests;
}

function colorName(c) {
    return c === "w" ? "white" : "black";
}

// What the game's end is, or "" while it goes on.
function gameOverText() {
    if (chess.isCheckmate()) return `Checkmate: ${chess.turn() === "w" ? "Black" : "White"} wins.`;
    if (chess.isStalemate()) return "Draw by stalemate.";
    if (chess.isThreefoldRepetition()) return "Draw by threefold repetition.";
    if (chess.isDrawByFiftyMoves()) return "Draw by the fifty-move rule.";
    if (chess.isInsufficientMaterial()) return "Draw: insufficient material.";
    return "";
}

function render() {
    const over = gameOverText();
    const userTurn = chess.turn() === userColor && !over && engineReady;
    const history = chess.history({ verbose: true });
    const last = history[history.length - 1];
    board.set({
        fen: chess.fen(),
        turnColor: colorName(chess.turn()),
        check: chess.inCheck(),
        lastMove: last ? [last.from, last.to] : undefined,
        movable: {
            color: userTurn ? colorName(userColor) : undefined,
            dests: userTurn ? destinations() : new Map(),
        },
    });
    const status = $("status");
    status.textContent =
        over ||
        (!engineReady ? "Loading the engine…" : thinking ? "Sorvane is thinking…" : "Your move.");
    status.className = over ? "over" : "";
    $("moves").innerHTML = "";
    const sans = chess.history();
    for (let i = 0; i < sans.length; i += 2) {
        const li = document.createElement("li");
        li.textContent = sans[i] + (sans[i + 1] ? " " + sans[i + 1] : "");
        $("moves").appendChild(li);
    }
    $("fen").textContent = chess.fen();
    $("undo").disabled = thinking;
}

function onUserMove(from, to) {
    const piece = chess.get(from);
    const promotion =
        piece && piece.type === "p" && (to[1] === "8" || to[1] === "1") ? "q" : undefined;
    try {
        chess.move({ from, to, promotion });
    } catch {
        render(); // the board offered a move the rules refuse: put the pieces back
        return;
    }
    render();
    askEngine();
}

// Starts a search when it is the engine's turn.
function askEngine() {
    if (gameOverText() || chess.turn() === userColor || thinking || !engineReady) return;
    thinking = true;
    searchGeneration = generation;
    const moves = chess.history({ verbose: true }).map((m) => m.from + m.to + (m.promotion || ""));
    engine.postMessage(
        `position fen ${setupFen}${moves.length ? " moves " + moves.join(" ") : ""}`,
    );
    engine.postMessage(`go movetime ${$("movetime").value}`);
    render();
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

// The principal variation in SAN, as far as its moves are legal from the current position.
function pvText(uciMoves) {
    const line = new Chess(chess.fen());
    const sans = [];
    for (const m of uciMoves) {
        try {
            sans.push(line.move({ from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4] }).san);
        } catch {
            break;
        }
    }
    return sans.join(" ");
}

engine.onmessage = (event) => {
    const line = event.data;
    if (line === "ready") {
        engineReady = true;
        render();
        askEngine();
        return;
    }
    if (line.startsWith("error ")) {
        console.error("engine: " + line.slice(6));
        return;
    }
    const words = line.split(" ");
    if (
        words[0] === "info" &&
        words[1] === "depth" &&
        words.includes("pv") &&
        searchGeneration === generation
    ) {
        $("depth").textContent = words[2];
        $("score").textContent = scoreText(Number(words[words.indexOf("cp") + 1]), chess.turn());
        $("pv").textContent = pvText(words.slice(words.indexOf("pv") + 1));
    }
    if (words[0] === "bestmove") {
        thinking = false;
        if (searchGeneration !== generation) {
            render();
            askEngine();
            return;
        }
        const m = words[1];
        try {
            chess.move({ from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4] });
        } catch {
            console.error(`the engine answered an illegal move: ${m} in ${chess.fen()}`);
        }
        render();
    }
};

function newGame(fen) {
    generation++;
    chess = new Chess(fen);
    setupFen = fen;
    $("depth").textContent = $("score").textContent = "–";
    $("pv").textContent = "";
    render();
    askEngine();
}

$("new").onclick = () => newGame(StartFen);
$("side").onchange = () => {
    userColor = $("side").value;
    board.set({ orientation: colorName(userColor) });
    newGame(setupFen);
};
$("flip").onclick = () => board.toggleOrientation();
$("undo").onclick = () => {
    if (thinking) return;
    generation++;
    chess.undo(); // the engine's reply, then the user's own move
    if (chess.turn() !== userColor) chess.undo();
    render();
};
$("set-fen").onclick = () => {
    const fen = $("fen-input").value.trim();
    try {
        new Chess(fen);
    } catch (error) {
        $("status").textContent = "Not a valid FEN: " + error.message;
        return;
    }
    newGame(fen);
};
$("pgn").onclick = async () => {
    const pgn = chess.pgn();
    try {
        await navigator.clipboard.writeText(pgn);
        $("status").textContent = "PGN copied.";
    } catch {
        window.prompt("Copy the PGN:", pgn);
    }
};

render();
