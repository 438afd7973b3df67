// The page: a board to play on against the engine running in a Web Worker. This module wires
// the game, the engine link, the board and the panels to the page's controls.
import { Chess } from "chess.js";
import { Board } from "./board.js";
import { Engine } from "./engine.js";
import { Game, StartFen, colorName } from "./game.js";
import { clearInfo, showInfo, showMoves, showStatus } from "./panels.js";

const $ = (id) => document.getElementById(id);

let game = new Game();
let thinking = false;
let generation = 0; // bumped whenever the game changes under a running search
let searchGeneration = 0; // the generation the running search belongs to

const board = new Board($("board"), onUserMove);
const engine = new Engine({
    onReady: () => {
        render();
        askEngine();
    },
    onInfo: (info) => {
        if (searchGeneration === generation) showInfo(info, game);
    },
    onBestMove: (uci) => {
        thinking = false;
        if (searchGeneration !== generation) {
            render();
            askEngine();
            return;
        }
        if (!game.playUci(uci))
            console.error(`the engine answered an illegal move: ${uci} in ${game.fen}`);
        render();
    },
});

function render() {
    const over = game.overText();
    board.show(game, game.turn === game.userColor && !over && engine.ready);
    showStatus(
        over ||
            (!engine.ready
                ? "Loading the engine…"
                : thinking
                  ? "Sorvane is thinking…"
                  : "Your move."),
        over,
    );
    showMoves(game);
    $("undo").disabled = thinking || !game.history().length;
}

function onUserMove(from, to) {
    const promotion = game.isPromotion(from, to) ? "q" : undefined;
    game.play(from, to, promotion); // a move the rules refuse just puts the pieces back
    render();
    askEngine();
}

// Starts a search when it is the engine's turn.
function askEngine() {
    if (game.overText() || game.turn === game.userColor || thinking || !engine.ready) return;
    thinking = true;
    searchGeneration = generation;
    engine.search(game.startFen, game.uciMoves(), $("movetime").value);
    render();
}

function newGame(fen) {
    generation++;
    game = new Game(fen, game.userColor);
    clearInfo();
    render();
    askEngine();
}

$("new").onclick = () => newGame(StartFen);
$("side").onchange = () => {
    game.userColor = $("side").value;
    board.orient(game.userColor);
    newGame(game.startFen);
};
$("flip").onclick = () => board.flip();
$("undo").onclick = () => {
    if (thinking) return;
    generation++;
    game.takeBack();
    render();
    askEngine(); // the engine moves first in a game it opened
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
    const pgn = game.pgn();
    try {
        await navigator.clipboard.writeText(pgn);
        $("status").textContent = "PGN copied.";
    } catch {
        window.prompt("Copy the PGN:", pgn);
    }
};

render();
