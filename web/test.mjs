// The page in a real browser: headless Chromium drives the page's own controls the way a user
// would, with 0.05 s a move for the engine. Each check starts from a fresh page, in a browser
// context of its own so that nothing the page remembers passes between checks, and no page may
// log an error. Three pages run at once; the checks whose figures need a quiet machine run
// alone at the end.
//   node web/test.mjs [check name ...]      (after web/build.sh; no names runs them all)
import puppeteer from "puppeteer-core";
import { checks, openPage } from "./checks/helpers.mjs";
import { serve } from "./serve.mjs";
import "./checks/play.mjs";
import "./checks/views.mjs";
import "./checks/engine.mjs";
import "./checks/faults.mjs";
import "./checks/review.mjs";
import "./checks/claims.mjs";
import "./checks/access.mjs";
import "./checks/threads.mjs";

const Pages = Number(process.env.SORVANE_TEST_PAGES ?? 3);

const server = await serve(0);
const oneThreadServer = await serve(0, { isolated: false });
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu"],
});
const url = (s) => `http://127.0.0.1:${s.address().port}/`;
let passed = 0,
    failed = 0;

async function runCheck({ name, run, viewport, isolated }) {
    const started = Date.now();
    const errors = [];
    let page = null;
    try {
        const t = await openPage(
            browser,
            url(isolated ? server : oneThreadServer),
            errors,
            viewport,
        );
        page = t.page;
        await run(t);
        if (errors.length) throw new Error("the page logged errors:\n" + errors.join("\n"));
        ++passed;
        console.log(`ok   ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
    } catch (error) {
        ++failed;
        console.log(`FAIL ${name}: ${error.message}`);
    } finally {
        await page?.browserContext().close();
    }
}

// Runs `list` on `pages` pages at once, each page taking the next check when it is done.
async function runAll(list, pages) {
    const queue = [...list];
    const worker = async () => {
        while (queue.length) await runCheck(queue.shift());
    };
    await Promise.all(Array.from({ length: Math.min(pages, queue.length) }, worker));
}

const started = Date.now();
try {
    const wanted = process.argv.slice(2);
    const chosen = checks.filter((c) => !wanted.length || wanted.some((w) => c.name.includes(w)));
    await runAll(
        chosen.filter((c) => !c.alone),
        Pages,
    );
    await runAll(
        chosen.filter((c) => c.alone),
        1,
    );
} finally {
    await browser.close();
    server.close();
    oneThreadServer.close();
}
console.log(`browser checks took ${((Date.now() - started) / 1000).toFixed(1)} s`);
console.log(`${passed} passed, ${failed} failed`);
if (failed) process.exitCode = 1;
