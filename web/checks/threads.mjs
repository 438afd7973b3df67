// The engine's threads in the page: a cross-origin isolated page runs the threaded engine, whose
// analysis takes the threads the Threads setting gives it and ends with "stop"; any other page
// runs the one-thread engine.
import { StartFen, check, fail, sleep } from "./helpers.mjs";

// The engine's nodes per second in an analysis of the start position on `threads` threads,
// read from its "info" lines over `ms` once it has run a moment, and the time from "stop" to
// the answer, in ms, as the page sees them.
async function analysis(t, threads, ms) {
    await t.page.select("#threads", String(threads));
    await t.page.evaluate(() => (window.engineLines = []));
    await t.page.click("#analyse");
    await t.page.waitForFunction(() => document.querySelectorAll("#analysis-lines li").length);
    await sleep(500);
    const from = await t.page.evaluate(() => window.engineLines.length);
    await sleep(ms);
    const lines = await t.page.evaluate((from) => window.engineLines.slice(from), from);
    const counts = lines
        .filter((l) => l.line.startsWith("info ") && l.line.includes(" nodes "))
        .map((l) => {
            const words = l.line.split(" ");
            return { at: l.at, nodes: Number(words[words.indexOf("nodes") + 1]) };
        });
    if (counts.length < 2)
        fail(`the analysis on ${threads} threads reported ${JSON.stringify(lines)}`);
    const first = counts[0],
        last = counts[counts.length - 1];
    const nps = ((last.nodes - first.nodes) * 1000) / (last.at - first.at);
    await t.page.click("#analyse"); // "stop"
    await t.page.waitForFunction(() =>
        window.engineLines.some((l) => l.line.startsWith("bestmove")),
    );
    const stopped = await t.page.evaluate(() => {
        const stop = window.engineSentAt.findLast((s) => s.line === "stop");
        const answer = window.engineLines.find(
            (l) => l.line.startsWith("bestmove") && l.at >= stop.at,
        );
        return answer.at - stop.at;
    });
    return { nps, stopped };
}

check(
    "threads: two search more nodes a second than one, and stop is answered at once",
    async (t) => {
        const isolated = await t.page.evaluate(() => ({
            isolated: crossOriginIsolated,
            scripts: window.workerScripts,
            threads: [...document.querySelectorAll("#threads option")].map((o) => o.value),
        }));
        if (!isolated.isolated || !isolated.scripts.every((s) => s === "worker.js?threads"))
            fail(`the isolated page runs ${JSON.stringify(isolated)}`);
        if (isolated.threads.join() !== "1,2")
            fail(`the Threads setting offers ${isolated.threads}`);
        await t.page.evaluate(() => {
            window.engineSentAt = [];
            const post = Worker.prototype.postMessage;
            Worker.prototype.postMessage = function (line) {
                window.engineSentAt.push({ line, at: performance.now() });
                return post.call(this, line);
            };
        });
        const one = await analysis(t, 1, 1500);
        const two = await analysis(t, 2, 1500);
        console.log(
            `  nodes a second: ${Math.round(one.nps)} on one thread, ${Math.round(two.nps)} on two;` +
                ` stop answered in ${one.stopped.toFixed(1)} ms and ${two.stopped.toFixed(1)} ms`,
        );
        if (!(two.nps > one.nps))
            fail(`two threads search ${two.nps} nodes a second, one ${one.nps}`);
        for (const { stopped } of [one, two])
            if (stopped > 100) fail(`"stop" took ${stopped} ms to be answered`);
        // The worker stayed: analysis, take back and new game stop the search rather than drop it.
        await t.move("e2", "e4");
        await t.page.click("#analyse");
        await t.page.click("#undo");
        await t.newGame();
        await t.waitForUserAt(StartFen);
        const workers = await t.page.evaluate(() => window.workerScripts.length);
        if (workers !== 1) fail(`the page started ${workers} engines`);
    },
    { alone: true },
);

// Without the isolation headers the page runs the one-thread engine, offers no Threads
// setting, and still analyses and plays.
check(
    "threads: a page that is not isolated runs the one-thread engine",
    async (t) => {
        const state = await t.page.evaluate(() => ({
            isolated: crossOriginIsolated,
            script: window.workerScripts[0],
            setting: document.getElementById("threads-field").hidden,
        }));
        if (state.isolated || state.script !== "worker.js" || !state.setting)
            fail(`the page that is not isolated runs ${JSON.stringify(state)}`);
        await t.page.click("#analyse");
        await t.page.waitForFunction(
            () => document.querySelectorAll("#analysis-lines li").length === 3,
        );
        await t.page.click("#analyse");
        await t.move("e2", "e4");
        await t.waitForUser(StartFen);
    },
    { isolated: false },
);
