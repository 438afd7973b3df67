// The players' clocks in a game with a time control: each side's time left counts down while
// it is to move, and gains the increment once it has moved. A clock reaching zero is a flag.

// A time control as the page's select gives it and PGN writes it, "180+2": the time each side
// starts with and the time added per move, in seconds. Returns { base, increment } in ms, or
// null for a game without clocks.
export function readControl(value) {
    const match = /^(\d+(?:\.\d+)?)\+(\d+(?:\.\d+)?)$/.exec(value);
    return match ? { base: match[1] * 1000, increment: match[2] * 1000 } : null;
}

export class Clocks {
    // onTick() while a clock runs, about ten times a second; onFlag(color) when `color`'s time
    // has run out (its clock then stops at zero). The clocks start full, or at `timesLeft`,
    // { w, b } in ms.
    constructor(control, { onTick, onFlag }, timesLeft) {
        this.control = control;
        // ms, as of `since` for the clock running
        this.left = timesLeft ? { ...timesLeft } : { w: control.base, b: control.base };
        this.running = null; // the colour whose clock runs
        this.since = 0;
        this.timer = 0;
        this.onTick = onTick;
        this.onFlag = onFlag;
    }

    timeLeft(color) {
        const spent = this.running === color ? performance.now() - this.since : 0;
        return Math.max(0, this.left[color] - spent);
    }

    // Runs `color`'s clock, or none for null; the other stops.
    run(color) {
        if (this.running === color) return;
        if (this.running) this.left[this.running] = this.timeLeft(this.running);
        clearTimeout(this.timer);
        this.running = color;
        this.since = performance.now();
        if (color) this.tick();
    }

    // Sets both clocks, { w, b } in ms, as when a take back returns to an earlier position; the
    // one running goes on from there.
    set(times) {
        const running = this.running;
        this.run(null);
        this.left = { ...times };
        this.run(running);
    }

    // Both sides' time left now, { w, b } in ms.
    times() {
        return { w: this.timeLeft("w"), b: this.timeLeft("b") };
    }

    // `color` has made a move: its clock gains the increment.
    moved(color) {
        if (this.running === color) this.run(null);
        this.left[color] += this.control.increment;
    }

    tick() {
        const color = this.running;
        const left = this.timeLeft(color);
        if (left <= 0) {
            this.run(null);
            this.left[color] = 0;
            this.onFlag(color);
            return;
        }
        this.onTick();
        this.timer = setTimeout(() => this.tick(), Math.min(100, left));
    }

    // The engine's time limit: both sides' time left and increments, as "go" takes them.
    goArguments() {
        const ms = (color) => Math.round(this.timeLeft(color));
        const increment = Math.round(this.control.increment);
        return `wtime ${ms("w")} btime ${ms("b")} winc ${increment} binc ${increment}`;
    }
}

// "2:58", and tenths in the last ten seconds: "0:09.4".
export function clockText(ms) {
    const tenths = Math.floor(ms / 100);
    const minutes = Math.floor(tenths / 600);
    const seconds = String(Math.floor(tenths / 10) % 60).padStart(2, "0");
    return `${minutes}:${seconds}${ms < 10000 ? "." + (tenths % 10) : ""}`;
}

// Shows the clocks beside the board, `bottom`'s below it; hides them in a game without clocks.
export function showClocks(clocks, bottom) {
    const top = bottom === "w" ? "b" : "w";
    for (const [id, color] of [
        ["clock-top", top],
        ["clock-bottom", bottom],
    ]) {
        const element = document.getElementById(id);
        element.hidden = !clocks;
        if (!clocks) continue;
        const left = clocks.timeLeft(color);
        element.textContent = clockText(left);
        element.setAttribute("aria-label", `${color === "w" ? "White" : "Black"}'s clock`);
        element.classList.toggle("running", clocks.running === color);
        element.classList.toggle("flagged", left === 0);
        element.dataset.color = color;
    }
}
