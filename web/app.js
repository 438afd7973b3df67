// The page: a board to play on against the engine running in a Web Worker. This module wires
// the game, the engine link, the board and the panels to the page's controls.
import { Analysis, showHint } from "./analysis.js";
import { announceChanges } from "./announce.js";
import { Board } from "./board.js";
import { changesIn } from "./changes.js";
import { Clocks, readControl, showClocks } from "./clock.js";
import { showEnd } from "./ending.js";
import { Engine, afterMove, whiteView } from "./engine.js";
import { readFen } from "./fen.js";
import { Game, StartFen } from "./game.js";
import { EvalBar } from "./evalbar.js";
import { engineName, fillLevels, levelOptions } from "./levels.js";
import { Navigation } from "./navigation.js";
import { clearInfo, showInfo, showMoves, showStatus } from "./panels.js";
import { downloadPgn, readPgn } from "./pgnio.js";
import { soundChanges } from "./sounds.js";
import { loadGame, recallSetting, rememberSettings, saveGame } from "./storage.js";

const $ = (id) => document.getElementById(id);

let game = new Game();
let info = null; // the engine's latest report on the game as it stands
let searchSetting = null; // the running search's level and time per move, as levels.js has it
let engineLoaded = false; // the first worker has loaded; later ones load in milliseconds
let clocks = null; // the game's clocks, or null when the engine has a time per move

const board = new Board($("board"), $("promotion"), onUserMove);
const navigation = new Navigation(
    () => game,
    () => {
        render();
        think(); // an analysis follows the board
    },
);
const evalBar = new EvalBar($("evalbar"));
const engine = new Engine({
    onReady: () => {
        engineLoaded = true;
        fillLevels($("level"), engine.eloRange);
        recallSetting($("level")); // the levels came only now
        render();
        think();
    },
    onInfo: (report) => {
        info = { depth: report.depth, score: whiteView(report.score, game.turn), pv: report.pv };
        showInfo(info, game);
        showEval();
    },
    onBestMove: (uci) => {
        const mover = game.turn;
        game.engineSettings.push(searchSetting);
        if (!game.playUci(uci))
            console.error(`the engine answered an illegal move: ${uci} in ${game.fen}`);
        else {
            clocks?.moved(mover);
            followMove(uci, mover);
        }
        render();
    },
});
const analysis = new Analysis(engine, board, showEval);

// The status while the board shows an earlier position and the game waits for the user's move.
const LookingBack = "Looking back — press » to return to the game.";

function render() {
    const over = game.overText();
    const userTurn = game.turn === game.userColor && !over;
    // The user may move in an earlier position too, to play on from there, unless the game was
    // resigned or lost on time.
    const shown = navigation.shownGame();
    const userCanMove = shown.turn === game.userColor && !shown.overText() && !game.ending;
    board.show(shown, engineLoaded && userCanMove);
    showStatus(
        over ||
            (!engineLoaded
                ? "Loading the engine…"
                : analysis.on
                  ? "Analysing the position on the board."
                  : !userTurn
                    ? "Sorvane is thinking…"
                    : navigation.reviewing()
                      ? LookingBack
                      : "Your move."),
        over,
    );
    showMoves(game, shown);
    // The engine's view is of the game; in analysis the lines take its place.
    $("info").hidden = analysis.on;
    navigation.show();
    showEval();
    showEnd(game);
    clocks?.run(over || !engineLoaded ? null : game.turn);
    showClocks(clocks, board.orientation);
    $("undo").disabled = !game.history().length || Boolean(game.ending);
    $("hint").disabled = !userTurn || !engineLoaded || analysis.on || navigation.reviewing();
    // Against the clock analysis waits for the game's end: the clocks would run on meanwhile.
    $("analyse").disabled = Boolean(clocks) && !over;
    saveGame(game, clocks);
    const changes = changesIn(game);
    soundChanges(changes);
    announceChanges(changes, game);
}

async function onUserMove(from, to) {
    const played = game,
        ply = navigation.shownPly();
    let promotion;
    if (navigation.shownGame().isPromotion(from, to)) {
        promotion = await board.askPromotion(game.userColor);
        if (game !== played || navigation.shownPly() !== ply) return; // the board moved on
        if (!promotion) return render(); // turned down: the pawn goes back
    }
    if (navigation.reviewing()) {
        if (!window.confirm("Play on from here? The game's later moves will be dropped."))
            return render();
        engine.stop(); // its search is of a position the game leaves
        game.truncate(ply);
        changesIn(game); // the moves dropped are no news; the move played next sounds as any
        navigation.follow();
        forgetInfo();
    }
    engine.stop(); // a hint's or an analysis's search, of the position before the move
    // A move the rules refuse just puts the pieces back.
    if (game.play(from, to, promotion)) {
        clocks?.moved(game.userColor);
        followMove(from + to + (promotion ?? ""), game.userColor);
    }
    render();
    think();
}

// Sets the engine to what it should be doing: analysing the board, or playing its move.
function think() {
    if (analysis.on) analysis.run(navigation.shownGame());
    else askEngine();
}

// Starts a search when it is the engine's turn.
function askEngine() {
    if (
        analysis.on ||
        game.overText() ||
        game.turn === game.userColor ||
        engine.searching ||
        !engine.ready
    )
        return;
    searchSetting = engineSetting();
    engine.setOptions({ MultiPV: 1, ...levelOptions(searchSetting.level) });
    const limit = clocks ? clocks.goArguments() : `movetime ${searchSetting.movetime}`;
    engine.search(game.startFen, game.uciMoves(), limit);
    render();
}

// The level and time per move the engine plays at now; with clocks the time per move stands
// unused.
function engineSetting() {
    return { level: $("level").value, movetime: $("movetime").value };
}

// The game in PGN, the engine named with the levels and the time it played at.
function gamePgn() {
    const settings = game.engineSettings.length ? game.engineSettings : [engineSetting()];
    return game.pgn(engineName(settings, game.timeControl));
}

// The engine's latest score on the evaluation bar.
function showEval() {
    const score = analysis.on ? analysis.score : info?.score;
    evalBar.show(score ?? null, game.userColor, board.orientation);
}

// The engine's view once `mover` has played `uci`, the engine or the user: the PV goes on from
// the move if it was the PV's first, what the engine expects next, and is dropped if not; a move
// that ends the game leaves the score as the game ended.
function followMove(uci, mover) {
    if (!info) return;
    const followed = info.pv[0] === uci;
    info.pv = followed ? info.pv.slice(1) : [];
    if (game.chess.isCheckmate()) info.score = { mate: 0, winner: mover };
    else if (game.positionEnd()) info.score = { cp: 0 };
    else if (followed) info.score = afterMove(info.score, mover);
    showInfo(info, game);
}

function forgetInfo() {
    info = null;
    clearInfo();
}

// The game's clocks, full or with the times left `{ w, b }` in ms.
function startClocks(timesLeft) {
    clocks?.run(null);
    const control = readControl(game.timeControl);
    $("movetime").disabled = Boolean(control);
    const onTick = () => showClocks(clocks, board.orientation);
    clocks = control && new Clocks(control, { onTick, onFlag }, timesLeft);
}

function onFlag(color) {
    engine.stop();
    game.loseOnTime(color);
    render();
}

// Plays `next`, with its clocks full or at `timesLeft`.
function startGame(next, timesLeft) {
    engine.stop();
    game = next;
    startClocks(timesLeft);
    if (clocks) leaveAnalysis(); // a game against the clock is played, not analysed
    navigation.follow();
    forgetInfo();
    render();
    think();
}

function leaveAnalysis() {
    if (analysis.on) analysis.toggle();
}

// The time control chosen, as a game keeps it: "180+2", or "" for none.
function chosenControl() {
    return readControl($("clock").value) ? $("clock").value : "";
}

// A game from `fen` with the side and the time control chosen.
function freshGame(fen) {
    const next = new Game(fen, $("side").value);
    next.timeControl = chosenControl();
    return next;
}

function newGame(fen) {
    startGame(freshGame(fen));
}

// A game brought in, from the last visit or a PGN: the user plays the side it gives them.
function takeUpGame(next, timesLeft) {
    $("side").value = next.userColor;
    board.orient(next.userColor);
    startGame(next, timesLeft);
}

$("new").onclick = () => newGame(StartFen);
$("again").onclick = () => {
    leaveAnalysis();
    newGame(game.startFen);
};
$("resign").onclick = () => {
    engine.stop();
    game.resign(game.userColor);
    render();
};
$("side").onchange = () => {
    board.orient($("side").value);
    newGame(game.startFen);
};
$("clock").onchange = () => newGame(game.startFen);
$("flip").onclick = () => {
    board.flip();
    showClocks(clocks, board.orientation);
    showEval();
};
$("undo").onclick = () => {
    engine.stop(); // a search of the position being taken back is of no use
    game.takeBack();
    navigation.follow();
    forgetInfo(); // the engine's view was of a position no longer on the board
    render();
    think(); // the engine moves first in a game it opened
};
// A position that cannot be set up leaves the game as it is, with the reason beside the box.
$("setup").onsubmit = (event) => {
    event.preventDefault();
    const { fen, error } = readFen($("fen-input").value);
    $("setup-message").textContent = error ?? "";
    if (fen) newGame(fen);
};
$("analyse").onclick = () => {
    analysis.toggle();
    render();
    think(); // leaving analysis, the engine plays if it is its turn
};
$("hint").onclick = () => {
    const asked = game,
        fen = game.fen;
    showHint(
        engine,
        game,
        board,
        () => game === asked && game.fen === fen && !navigation.reviewing(),
    );
};
$("fen-input").oninput = () => ($("setup-message").textContent = "");
$("pgn").onclick = async () => {
    const pgn = gamePgn();
    try {
        await navigator.clipboard.writeText(pgn);
        $("status").textContent = "PGN copied.";
    } catch {
        window.prompt("Copy the PGN:", pgn);
    }
};
$("download").onclick = () => downloadPgn(game, gamePgn());
// A PGN that cannot be played leaves the game as it is, with the reason beside the box.
$("import").onsubmit = (event) => {
    event.preventDefault();
    const { game: imported, error } = readPgn($("pgn-input").value);
    $("import-message").textContent = error ?? "";
    if (!imported) return;
    imported.timeControl = chosenControl();
    takeUpGame(imported);
};
$("pgn-input").oninput = () => ($("import-message").textContent = "");
// The clocks keep the time left at the moment the page goes.
addEventListener("pagehide", () => saveGame(game, clocks));

rememberSettings(["side", "level", "movetime", "clock", "sound"]);
const saved = loadGame();
takeUpGame(saved?.game ?? freshGame(StartFen), saved?.clockTimes);
