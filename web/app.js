// The page: a board to play on against the engine running in a Web Worker. This module owns the
// page's state (the game, the engine's latest view of it, the clocks, the analysis and the
// review) and has the views draw from it; it sets the engine to what it should be doing.
import { Analysis, showHint } from "./analysis.js";
import { announceChanges } from "./announce.js";
import { Board } from "./board.js";
import { changesIn } from "./changes.js";
import { Clocks, readControl, showClocks } from "./clock.js";
import { NewGameDialog } from "./dialog.js";
import { showEnd } from "./ending.js";
import { Engine, afterMove, whiteView } from "./engine.js";
import { EvalBar } from "./evalbar.js";
import { readFen } from "./fen.js";
import { Game, StartFen } from "./game.js";
import { Graph } from "./graph.js";
import { BoardKeys } from "./keyboard.js";
import { engineName, fillLevels, levelName, levelOptions } from "./levels.js";
import { readMove } from "./movebox.js";
import { Navigation } from "./navigation.js";
import { notify } from "./notice.js";
import { loadOpenings, openingOf } from "./openings.js";
import { clearInfo, showInfo, showMoves, showPlayers, showStatus } from "./panels.js";
import { downloadPgn, readPgn } from "./pgnio.js";
import { Reviewer, fitReview, reviewRunning, startReview } from "./review.js";
import { reviewFindings, showReview } from "./reviewview.js";
import { soundChanges } from "./sounds.js";
import {
    loadGame,
    recallSetting,
    recallValue,
    rememberSettings,
    rememberValue,
    saveGame,
} from "./storage.js";

const $ = (id) => document.getElementById(id);

let game = new Game();
let info = null; // the engine's latest report on the game as it stands: { depth, score, pv }
let searchSetting = null; // the running search's level and time per move, as levels.js has it
let engineLoaded = false; // the first worker has loaded; later ones load in milliseconds
let clocks = null; // the game's clocks, or null when the engine has a time per move

const board = new Board($("board"), $("promotion"), onBoardMove);
new BoardKeys($("board"), board, (words) => ($("square-said").textContent = words));
const navigation = new Navigation(
    () => game,
    () => {
        render();
        think(); // an analysis follows the board
    },
);
const evalBar = new EvalBar($("evalbar"));
const graph = new Graph($("graph"), (ply) => navigation.go(ply));
const engine = new Engine({
    onReady: () => {
        engineLoaded = true;
        fillLevels($("level"), engine.eloRange);
        recallSetting($("level")); // the levels came only now
        fillThreads();
        // A first game, begun before the engine told its levels, plays at the one chosen now.
        if (![...$("level").options].some((o) => o.value === game.engineSetting.level))
            game.engineSetting.level = $("level").value;
        render();
        think();
    },
    onInfo: (report) => {
        info = { depth: report.depth, score: whiteView(report.score, game.turn), pv: report.pv };
        showInfo(info, game);
        showEval();
    },
    onBestMove: (uci) => {
        // No move: the position has ended by the rules, which the page shows itself.
        if (!uci) return render();
        const mover = game.turn;
        game.engineSettings.push(searchSetting);
        if (!game.playUci(uci))
            console.error(`the engine answered an illegal move: ${uci} in ${game.fen}`);
        else {
            clockMoved(mover);
            followMove(uci, mover);
        }
        render(); // a premove waiting is played from here
    },
});
// The engine's options for the threads a search takes: the threaded engine analyses and
// reviews on as many as the Threads setting says, and plays and hints on one, the thread its
// levels were measured on.
const manyThreads = () => (engine.threaded ? { Threads: Number($("threads").value) || 1 } : {});
const oneThread = () => (engine.threaded ? { Threads: 1 } : {});
const analysis = new Analysis(engine, board, showEval, manyThreads);
const reviewer = new Reviewer(
    engine,
    () => {
        render();
        think();
    },
    manyThreads,
);
const dialog = new NewGameDialog({
    onStart: (settings) => {
        if (!leaveGame()) return {};
        newGame(StartFen, settings);
        return { started: true };
    },
    onSetUp: (text, settings) => {
        const { fen, error } = readFen(text);
        if (error) return { error };
        if (!leaveGame()) return {};
        newGame(fen, settings);
        return { started: true };
    },
    onImport: (text, settings) => {
        const { game: imported, error } = readPgn(text);
        if (error) return { error };
        if (!leaveGame()) return {};
        imported.timeControl = settings.control;
        imported.engineSetting = { level: settings.level, movetime: settings.movetime };
        takeUpGame(imported);
        return { started: true };
    },
});

// The status while the board shows an earlier position and the game waits for the user's move.
const LookingBack = "Looking back — press » to return to the game.";

function render() {
    fitReview(game);
    const over = game.overText();
    const userTurn = game.turn === game.userColor && !over;
    // The user may move in an earlier position too, to play on from there, unless the game has
    // an end its moves do not show, a resignation, a flag or a recorded result.
    const shown = navigation.shownGame();
    const canMove =
        engineLoaded && shown.turn === game.userColor && !shown.overText() && !game.ending;
    const canPremove =
        engineLoaded && !over && !analysis.on && !navigation.reviewing() && !userTurn;
    board.show(shown, { userColor: game.userColor, canMove, canPremove });
    const reviewRuns = reviewRunning(game);
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
    const claim = game.claimable();
    $("claim").hidden = !claim;
    $("claim").textContent =
        claim === "threefold" ? "Claim a draw: threefold repetition" : "Claim a draw: fifty moves";
    const { judged } = reviewFindings(game);
    showMoves(game, shown, judged);
    showReview(game, judged, navigation.shownPly(), graph, board);
    const opening = openingOf(game, navigation.shownPly());
    $("opening").textContent = opening ? `${opening.eco} · ${opening.name}` : "";
    // The engine's view is of the game; in analysis the lines take its place, and in a review
    // or a game over before it thought, it has nothing to say.
    $("info").hidden = analysis.on || Boolean(game.review) || (!info && Boolean(over));
    navigation.show();
    showEval();
    showEnd(game);
    // Neither clock runs until both sides have moved, as on the common sites.
    const started = game.history().length >= 2;
    clocks?.run(over || !engineLoaded || !started ? null : game.turn);
    showSides();
    $("undo").disabled = !game.history().length || Boolean(over);
    $("hint").disabled =
        !userTurn || !engineLoaded || analysis.on || navigation.reviewing() || reviewRuns;
    // Against the clock analysis waits for the game's end: the clocks would run on meanwhile.
    $("analyse").disabled = (Boolean(clocks) && !over) || reviewRuns;
    const reviewed = game.review && game.review.moves.length === game.history().length;
    $("review-game").disabled =
        !engineLoaded || !(over || game.imported) || reviewRuns || Boolean(reviewed);
    saveGame(game, clocks, info);
    const changes = changesIn(game);
    soundChanges(changes);
    announceChanges(changes, game);
}

// The Threads setting offers 1 to as many threads as the machine has cores, at most the
// engine's top, all of them at first; without the threaded engine it does not show.
function fillThreads() {
    const select = $("threads");
    $("threads-field").hidden = !engine.threaded;
    if (!engine.threaded || select.options.length) return;
    const most = Math.max(1, Math.min(navigator.hardwareConcurrency || 1, engine.maxThreads));
    for (let n = 1; n <= most; ++n) select.add(new Option(String(n), String(n), false, n === most));
    recallSetting(select);
}

// The players' names and clocks, each beside its end of the board.
function showSides() {
    const engineName = `Sorvane · ${levelName($("level"), game.engineSetting.level)}`;
    const names = game.players ?? {
        [game.userColor]: "You",
        [game.userColor === "w" ? "b" : "w"]: engineName,
    };
    showPlayers(board.orientation, names);
    showClocks(clocks, board.orientation);
}

// A move made on the board, by mouse, touch or keyboard; a premove becomes a queen.
async function onBoardMove(from, to, premove) {
    let promotion;
    if (navigation.shownGame().isPromotion(from, to)) {
        if (premove) promotion = "q";
        else {
            const played = game,
                ply = navigation.shownPly();
            promotion = await board.askPromotion(game.userColor);
            if (game !== played || navigation.shownPly() !== ply) return; // the board moved on
            if (!promotion) return render(); // turned down: the pawn goes back
        }
    }
    playUserMove(from, to, promotion);
}

function playUserMove(from, to, promotion) {
    if (navigation.reviewing()) {
        if (!window.confirm("Play on from here? The game's later moves will be dropped."))
            return render();
        const ply = navigation.shownPly();
        engine.stop(); // its search is of a position the game leaves
        game.truncate(ply);
        changesIn(game); // the moves dropped are no news; the move played next sounds as any
        navigation.follow();
        forgetInfo();
    }
    engine.stop(); // a hint's or an analysis's search, of the position before the move
    // A move the rules refuse just puts the pieces back.
    if (game.play(from, to, promotion)) {
        clockMoved(game.userColor);
        followMove(from + to + (promotion ?? ""), game.userColor);
    }
    render();
    think();
}

// A move typed in the box, in SAN or as its squares.
$("move-form").onsubmit = (event) => {
    event.preventDefault();
    const shown = navigation.shownGame();
    const refusal = !engineLoaded
        ? "The engine is still loading."
        : shown.overText() || game.ending
          ? "The game is over."
          : shown.turn !== game.userColor
            ? "It is Sorvane's move: wait for it."
            : "";
    const { move, error } = refusal
        ? { error: refusal }
        : readMove(shown.fen, $("move-input").value);
    $("move-message").textContent = error ?? "";
    if (!move) return;
    $("move-input").value = "";
    playUserMove(move.from, move.to, move.promotion);
};
$("move-input").oninput = () => ($("move-message").textContent = "");

// Sets the engine to what it should be doing: reviewing the game, analysing the board, or
// playing its move. A review waits while the engine has a move to play.
function think() {
    if (reviewRunning(game) && (game.overText() || game.turn === game.userColor))
        reviewer.step(game);
    else if (analysis.on) analysis.run(navigation.shownGame());
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
    searchSetting = game.engineSetting;
    engine.setOptions({ MultiPV: 1, ...levelOptions(searchSetting.level), ...oneThread() });
    const limit = clocks ? clocks.goArguments() : `movetime ${searchSetting.movetime}`;
    engine.search(game.startFen, game.uciMoves(), limit);
    render();
}

// The game in PGN, the engine named with the levels and the time it played at, with its opening
// and the review's findings.
function gamePgn() {
    const settings = game.engineSettings.length ? game.engineSettings : [game.engineSetting];
    const { comments } = reviewFindings(game);
    return game.pgn(engineName(settings, game.timeControl), openingOf(game), comments);
}

// The engine's latest score on the evaluation bar: the analysis's, the review's of the position
// shown, or the engine's latest view of the game.
function showEval() {
    const reviewed = game.review?.scores[navigation.shownPly()];
    const score = analysis.on ? analysis.score : (reviewed ?? info?.score);
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

// `mover` has moved: its clock gains the increment, and the game keeps both clocks' times.
function clockMoved(mover) {
    if (!clocks) return;
    clocks.moved(mover);
    game.clockTimes[game.history().length] = clocks.times();
}

// The game's clocks, full or with the times left `{ w, b }` in ms.
function startClocks(timesLeft) {
    clocks?.run(null);
    const control = readControl(game.timeControl);
    const onTick = () => showClocks(clocks, board.orientation);
    clocks = control && new Clocks(control, { onTick, onFlag }, timesLeft);
    if (clocks && !game.clockTimes.length) game.clockTimes.push(clocks.times());
}

function onFlag(color) {
    engine.stop();
    game.loseOnTime(color);
    render();
    think();
}

// Plays `next`, with its clocks full or at `timesLeft`.
function startGame(next, timesLeft) {
    engine.stop();
    board.cancelPremove();
    game = next;
    startClocks(timesLeft);
    if (clocks) leaveAnalysis(); // a game against the clock is played, not analysed
    navigation.follow();
    forgetInfo();
    render();
    think();
}

function leaveAnalysis() {
    if (analysis.on) toggleAnalysis();
}

function toggleAnalysis() {
    analysis.toggle();
    rememberValue("analysis", analysis.on);
}

// Whether the game in progress may be left for another: a game with moves that has not ended
// is left only if the user agrees.
function leaveGame() {
    if (!game.history().length || game.overText()) return true;
    return window.confirm("Start a new game? The game in progress will be dropped.");
}

// A game from `fen` with the side, the level and the time control of `settings`.
function newGame(fen, { side, level, movetime, control }) {
    const next = new Game(fen, side);
    next.timeControl = control;
    next.engineSetting = { level, movetime };
    board.orient(side);
    startGame(next);
}

// A game brought in, from the last visit or a PGN: the user plays the side it gives them.
function takeUpGame(next, timesLeft) {
    $("side").value = next.userColor;
    board.orient(next.userColor);
    startGame(next, timesLeft);
}

$("new").onclick = () => {
    const unfinished = game.history().length && !game.overText();
    dialog.open(unfinished ? "Starting a new game drops the one in progress." : "");
};
$("again").onclick = () => {
    leaveAnalysis();
    newGame(game.startFen, {
        side: game.userColor,
        control: game.timeControl,
        ...game.engineSetting,
    });
};
// Resigning or claiming a draw ends the game: the engine's search of its move stops, and an
// analysis goes on.
$("resign").onclick = () => {
    engine.stop();
    game.resign(game.userColor);
    render();
    think();
};
$("claim").onclick = () => {
    engine.stop();
    game.claimDraw(game.userColor);
    render();
    think();
};
$("flip").onclick = () => {
    board.flip();
    showSides();
    showEval();
};
$("undo").onclick = () => {
    engine.stop(); // a search of the position being taken back is of no use
    board.cancelPremove();
    game.takeBack();
    clocks?.set(game.clockTimes[game.history().length] ?? clocks.times());
    navigation.follow();
    forgetInfo(); // the engine's view was of a position no longer on the board
    render();
    think(); // the engine moves first in a game it opened
};
$("analyse").onclick = () => {
    toggleAnalysis();
    render();
    think(); // leaving analysis, the engine plays if it is its turn
};
$("review-game").onclick = () => {
    leaveAnalysis();
    startReview(game);
    render();
    think();
};
// A change of threads takes effect at once in an analysis, and from the next position in a
// review.
$("threads").addEventListener(
    "change",
    () => analysis.on && analysis.restart(navigation.shownGame()),
);
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
$("pgn").onclick = async () => {
    const pgn = gamePgn();
    try {
        await navigator.clipboard.writeText(pgn);
        notify("PGN copied.");
    } catch {
        window.prompt("Copy the PGN:", pgn);
    }
};
$("download").onclick = () => downloadPgn(game, gamePgn());
// The clocks keep the time left at the moment the page goes.
addEventListener("pagehide", () => saveGame(game, clocks, info));

rememberSettings([
    "side",
    "level",
    "movetime",
    "clock",
    "custom-minutes",
    "custom-increment",
    "sound",
    "threads",
]);
const saved = loadGame();
if (saved) takeUpGame(saved.game, saved.clockTimes);
else newGame(StartFen, dialog.settings());
if (saved?.info) {
    info = saved.info;
    showInfo(info, game);
    showEval();
}
// Analysis stays as it was, where the game allows it.
if (recallValue("analysis") === true && !(clocks && !game.overText())) toggleAnalysis();
render();
loadOpenings(render);
