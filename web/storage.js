// Remembers the page between visits, in the browser's localStorage: the settings the user
// picked and the game in progress. A stored value that is missing, unreadable or written by
// another version of the page is ignored, and the page starts as on a first visit.
import { Game } from "./game.js";

const SettingsKey = "sorvane.settings";
const GameKey = "sorvane.game";
const Version = 1;

function read(key) {
    try {
        const value = JSON.parse(localStorage.getItem(key));
        return value?.version === Version ? value : null;
    } catch {
        return null;
    }
}

function write(key, value) {
    try {
        localStorage.setItem(key, JSON.stringify({ version: Version, ...value }));
    } catch {
        // Storage turned off or full: the page goes on without remembering.
    }
}

function storedSettings() {
    return read(SettingsKey)?.values ?? {};
}

// Gives the controls with these ids their remembered values, and remembers each change from
// now on. Selects keep a value only while they still offer it; checkboxes keep their tick, and
// number boxes a number within their range. A
// select whose options come later, as the levels do once the engine has told its range, gets
// its value from recallSetting() then, and keeps its remembered one until it has options.
export function rememberSettings(ids) {
    const controls = ids.map((id) => document.getElementById(id));
    for (const control of controls) recallSetting(control);
    const save = () => {
        const values = { ...storedSettings() };
        for (const control of controls) {
            if (control.type === "checkbox") values[control.id] = control.checked;
            else if (control.type === "number") values[control.id] = control.value;
            else if (control.options.length) values[control.id] = control.value;
        }
        write(SettingsKey, { values });
    };
    for (const control of controls) control.addEventListener("change", save);
}

// Gives `control` its remembered value, if it has one it can take.
export function recallSetting(control) {
    const value = storedSettings()[control.id];
    if (control.type === "checkbox") {
        if (typeof value === "boolean") control.checked = value;
    } else if (control.type === "number") {
        const number = Number(value);
        if (
            value !== "" &&
            Number.isFinite(number) &&
            number >= control.min &&
            number <= control.max
        )
            control.value = value;
    } else if ([...control.options].some((option) => option.value === value)) {
        control.value = value;
    }
}

// A setting that is no control's, such as whether analysis is on: remembered as `value`.
export function rememberValue(key, value) {
    write(SettingsKey, { values: { ...storedSettings(), [key]: value } });
}

export function recallValue(key) {
    return storedSettings()[key];
}

// `clocks` is the game's Clocks, or null; `info` the engine's latest view of the game, or null.
export function saveGame(game, clocks, info) {
    write(GameKey, {
        startFen: game.startFen,
        moves: game.uciMoves(),
        userColor: game.userColor,
        ending: game.ending,
        timeControl: game.timeControl,
        clocks: clocks && { w: clocks.timeLeft("w"), b: clocks.timeLeft("b") },
        started: game.started.getTime(),
        engineSettings: game.engineSettings,
        engineSetting: game.engineSetting,
        clockTimes: game.clockTimes,
        imported: game.imported,
        players: game.players,
        review: game.review,
        info,
    });
}

const isScore = (s) =>
    s &&
    ((Number.isFinite(s.cp) && s.mate === undefined) ||
        (Number.isInteger(s.mate) && s.mate >= 0 && ["w", "b"].includes(s.winner)));
const isTimes = (t) => t && [t.w, t.b].every((ms) => Number.isFinite(ms) && ms >= 0);
const isMove = (m) => typeof m === "string" && /^[a-h][1-8][a-h][1-8][nbrq]?$/.test(m);

// The engine's view as saved, { depth, score, pv }, or null if it cannot be read.
function readInfo(info) {
    if (!info || !Number.isInteger(info.depth) || !isScore(info.score)) return null;
    if (!Array.isArray(info.pv) || !info.pv.every(isMove)) return null;
    return { depth: info.depth, score: info.score, pv: info.pv };
}

// The review as saved, or null if it cannot be read or is not of the game's moves.
function readReview(review, game) {
    if (!review || !Array.isArray(review.moves) || !Array.isArray(review.scores)) return null;
    const moves = game.uciMoves();
    if (review.moves.some((m, i) => m !== moves[i]) || review.moves.length > moves.length)
        return null;
    if (!review.scores.every(isScore) || review.scores.length > review.moves.length + 1)
        return null;
    if (!Array.isArray(review.best) || review.best.length !== review.scores.length) return null;
    if (!review.best.every((m) => m === null || isMove(m))) return null;
    return { moves: review.moves, scores: review.scores, best: review.best };
}

// The game saved last, as { game, clockTimes, info } (clockTimes: { w, b } in ms, or null; info:
// the engine's view of the game, or null), or null if there is none that can be played on.
export function loadGame() {
    const saved = read(GameKey);
    if (!saved) return null;
    try {
        if (!["w", "b"].includes(saved.userColor)) return null;
        const game = new Game(saved.startFen, saved.userColor);
        for (const move of saved.moves) if (!game.playUci(move)) return null;
        const { ending } = saved;
        if (ending && ["1-0", "0-1", "1/2-1/2"].includes(ending.result))
            game.ending = {
                result: ending.result,
                text: String(ending.text),
                termination: String(ending.termination),
            };
        if (typeof saved.timeControl === "string") game.timeControl = saved.timeControl;
        if (Number.isFinite(saved.started)) game.started = new Date(saved.started);
        const isSetting = (setting) =>
            setting && typeof setting.level === "string" && Number(setting.movetime) > 0;
        for (const setting of saved.engineSettings ?? [])
            if (isSetting(setting))
                game.engineSettings.push({ level: setting.level, movetime: setting.movetime });
        if (isSetting(saved.engineSetting))
            game.engineSetting = {
                level: saved.engineSetting.level,
                movetime: saved.engineSetting.movetime,
            };
        if (Array.isArray(saved.clockTimes) && saved.clockTimes.every(isTimes))
            game.clockTimes = saved.clockTimes.slice(0, game.history().length + 1);
        game.imported = saved.imported === true;
        const players = saved.players;
        if (players && typeof players.w === "string" && typeof players.b === "string")
            game.players = { w: players.w, b: players.b };
        game.review = readReview(saved.review, game);
        const clockTimes = isTimes(saved.clocks) ? saved.clocks : null;
        return { game, clockTimes, info: readInfo(saved.info) };
    } catch {
        return null;
    }
}
