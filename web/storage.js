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
// now on. Selects keep a value only while they still offer it; checkboxes keep their tick. A
// select whose options come later, as the levels do once the engine has told its range, gets
// its value from recallSetting() then, and keeps its remembered one until it has options.
export function rememberSettings(ids) {
    const controls = ids.map((id) => document.getElementById(id));
    for (const control of controls) recallSetting(control);
    const save = () => {
        const values = { ...storedSettings() };
        for (const control of controls) {
            if (control.type === "checkbox") values[control.id] = control.checked;
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
    } else if ([...control.options].some((option) => option.value === value)) {
        control.value = value;
    }
}

// `clocks` is the game's Clocks, or null.
export function saveGame(game, clocks) {
    write(GameKey, {
        startFen: game.startFen,
        moves: game.uciMoves(),
        userColor: game.userColor,
        ending: game.ending,
        timeControl: game.timeControl,
        clocks: clocks && { w: clocks.timeLeft("w"), b: clocks.timeLeft("b") },
        started: game.started.getTime(),
        engineSettings: game.engineSettings,
    });
}

// The game saved last, as { game, clockTimes } (clockTimes: { w, b } in ms, or null), or null
// if there is none that can be played on.
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
        for (const setting of saved.engineSettings ?? [])
            if (setting && typeof setting.level === "string" && Number(setting.movetime) > 0)
                game.engineSettings.push({ level: setting.level, movetime: setting.movetime });
        const times = saved.clocks;
        const clockTimes =
            times && [times.w, times.b].every((t) => Number.isFinite(t) && t >= 0) ? times : null;
        return { game, clockTimes };
    } catch {
        return null;
    }
}
