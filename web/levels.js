// The engine's playing levels: named steps of its calibrated rating, UCI_Elo, from the lowest
// it offers up to its top, and full strength, which searches for the whole time per move. The
// top of the engine's range is its full search, so it is offered as full strength only. The
// steps are read from the engine's own range, so they follow its calibration.

export const FullStrength = "full";
const DefaultElo = 1400; // a new visitor's level: a fair game for a casual player
const Step = 200;
const Names = ["Beginner", "Novice", "Casual", "Intermediate", "Club player", "Expert"];

// The steps from `min` up to below `max`, Step apart, leaving out one too near the top to
// tell apart from it: [{ elo, name }].
function steps(min, max) {
    const elos = [];
    for (let elo = min; max - elo >= Step / 2; elo += Step) elos.push(elo);
    return elos.map((elo, i) => ({ elo, name: Names[Math.min(i, Names.length - 1)] }));
}

// Fills the level select from the engine's rating range, once, with the step nearest the
// default chosen.
export function fillLevels(select, { min, max }) {
    if (select.options.length) return;
    const levels = steps(min, max);
    const nearest = levels.reduce((a, b) =>
        Math.abs(b.elo - DefaultElo) < Math.abs(a.elo - DefaultElo) ? b : a,
    );
    for (const { elo, name } of levels)
        select.add(new Option(`${name} (${elo})`, elo, false, elo === nearest.elo));
    select.add(new Option("Full strength", FullStrength));
}

// The engine options for a level: a rating, or full strength without a limit.
export function levelOptions(level) {
    return level === FullStrength
        ? { UCI_LimitStrength: false }
        : { UCI_LimitStrength: true, UCI_Elo: level };
}

// The engine's name in the PGN, from how it played each of its moves ({ level, movetime }) and
// the game's time control ("180+2", or "" for a time per move): "Sorvane (level 1400)",
// "Sorvane (full strength, 1 s per move)", "Sorvane (level 1200 to 1400; full strength, 0.2 s
// to 1 s per move)"; with clocks the time control stands for the time, "Sorvane (level 1400,
// 3+2)", "Sorvane (level 1400 and full strength, 3+2)".
export function engineName(settings, timeControl = "") {
    const range = (values, text) => {
        const min = Math.min(...values),
            max = Math.max(...values);
        return text(min) + (max > min ? " to " + text(max) : "");
    };
    const levels = settings.filter((s) => s.level !== FullStrength).map((s) => Number(s.level));
    const times = settings.filter((s) => s.level === FullStrength).map((s) => Number(s.movetime));
    const parts = [];
    if (levels.length) parts.push("level " + range(levels, String));
    if (timeControl) {
        if (times.length) parts.push("full strength");
        return `Sorvane (${parts.join(" and ")}, ${controlName(timeControl)})`;
    }
    if (times.length)
        parts.push(`full strength, ${range(times, (ms) => `${ms / 1000} s`)} per move`);
    return `Sorvane (${parts.join("; ")})`;
}

// A time control as players say it, in minutes and seconds added per move: "180+2" is "3+2".
// One of less than whole minutes keeps its seconds: "2+0" is "2 s+0".
function controlName(timeControl) {
    const [base, increment] = timeControl.split("+").map(Number);
    return `${base % 60 ? base + " s" : base / 60}+${increment}`;
}

// A level as the level select names it, "Intermediate (1400)" or "Full strength"; a rating the
// select does not offer reads as "level 1500".
export function levelName(select, level) {
    const option = [...select.options].find((o) => o.value === level);
    return option
        ? option.textContent
        : level === FullStrength
          ? "Full strength"
          : `level ${level}`;
}
