// What the browser checks share: the list of checks, a page opened for each, and the helpers
// that drive the page through its own controls as a user would.
import { Chess } from "chess.js";
import { mkdtemp, readdir, readFile, rm } from "node:fs/promises";
import { tmpdir } from "node:os";
import { join } from "node:path";

export const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
export const Phone = {
    width: 390,
    height: 844,
    isMobile: true,
    hasTouch: true,
    deviceScaleFactor: 3,
};
export const Desktop = { width: 1280, height: 800 };

// Random moves that are the same from run to run, each check's its own.
export function randomMoves(seed) {
    return (n) => ((seed = (seed * 1103515245 + 12345) % 2147483648), seed % n);
}

export function fail(message) {
    throw new Error(message);
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The checks, in the order they are declared: { name, run, viewport, alone, isolated }. A check
// `alone` runs by itself, after the others, as its figures depend on the machine being quiet;
// one not `isolated` opens the page from a server that does not make it cross-origin isolated.
export const checks = [];
export function check(name, run, { viewport, alone = false, isolated = true } = {}) {
    checks.push({ name, run, viewport, alone, isolated });
}

// A fresh page with the engine loaded and a game started at full strength with 0.05 s a move,
// and the helpers the checks use. The page's commands to the engine, and the engine's option
// lines and answers, are recorded in window.engineSent, window.engineOptions and
// window.engineAnswers, every line it writes in window.engineLines ({ line, at }), and the
// scripts of the workers the page started in window.workerScripts.
export async function openPage(browser, url, errors, viewport = { width: 1100, height: 700 }) {
    const downloads = await mkdtemp(join(tmpdir(), "sorvane-test-"));
    const context = await browser.createBrowserContext({
        downloadBehavior: { policy: "allow", downloadPath: downloads },
    });
    context.on("targetdestroyed", () => rm(downloads, { recursive: true, force: true }));
    const page = await context.newPage();
    // Waits look every 50 ms rather than at every frame, which would keep two cores busy with
    // three pages open.
    const waitForFunction = page.waitForFunction.bind(page);
    page.waitForFunction = (test, options = {}, ...args) =>
        waitForFunction(test, { polling: 50, ...options }, ...args);
    await page.setViewport(viewport);
    // Pieces that do not slide and a bar that does not grow spare the machine's cores.
    await page.emulateMediaFeatures([{ name: "prefers-reduced-motion", value: "reduce" }]);
    page.on("console", (m) => m.type() === "error" && errors.push(m.text()));
    page.on("pageerror", (e) => errors.push(String(e)));
    await page.evaluateOnNewDocument(() => {
        window.engineSent = [];
        window.engineOptions = [];
        window.engineAnswers = [];
        window.engineLines = [];
        window.workerScripts = [];
        window.Worker = class extends Worker {
            constructor(...args) {
                super(...args);
                window.workerScripts.push(String(args[0]));
                this.addEventListener("message", (event) => {
                    if (typeof event.data !== "string") return; // not an engine's line
                    window.engineLines.push({ line: event.data, at: performance.now() });
                    if (event.data.startsWith("option ")) window.engineOptions.push(event.data);
                    if (event.data.startsWith("bestmove ")) window.engineAnswers.push(event.data);
                });
            }
            postMessage(line) {
                window.engineSent.push(line);
                super.postMessage(line);
            }
        };
    });
    await page.goto(url);
    await page.waitForFunction(
        () => document.getElementById("status").textContent === "Your move.",
    );
    const defaultLevel = await page.$eval("#level", (e) => e.value);
    const text = (id) => page.$eval(`#${id}`, (e) => e.textContent);
    const helpers = {
        page,
        text,
        defaultLevel,
        over: () => page.$eval("#status", (e) => e.className === "over"),
        // Waits until the page says the game is over.
        waitForOver: (timeout = 30000) =>
            page.waitForFunction(() => document.getElementById("status").className === "over", {
                timeout,
            }),
        orientation: () =>
            page.$eval("#board", (e) =>
                e.classList.contains("orientation-black") ? "black" : "white",
            ),

        // Clicks a square of the board as a user would, whichever way round it stands.
        async clickSquare(square) {
            const orientation = await helpers.orientation();
            const box = await (await page.$("#board cg-board")).boundingBox();
            const file = square.charCodeAt(0) - 97,
                rank = Number(square[1]) - 1;
            const col = orientation === "white" ? file : 7 - file,
                row = orientation === "white" ? 7 - rank : rank;
            await page.mouse.click(
                box.x + ((col + 0.5) * box.width) / 8,
                box.y + ((row + 0.5) * box.height) / 8,
            );
        },

        async move(from, to) {
            await helpers.clickSquare(from);
            await helpers.clickSquare(to);
        },

        // Waits until it is the user's turn (or the game is over) in a position other than
        // `previousFen`; returns the FEN.
        async waitForUser(previousFen, timeout = 30000) {
            await page.waitForFunction(
                (fen) => {
                    const status = document.getElementById("status");
                    return (
                        document.getElementById("fen").textContent !== fen &&
                        (status.textContent === "Your move." || status.className === "over")
                    );
                },
                { timeout },
                previousFen,
            );
            return text("fen");
        },

        // Waits until the page shows `fen` with the user to move.
        async waitForUserAt(fen, timeout = 3000, what = "the position") {
            try {
                await page.waitForFunction(
                    (fen) =>
                        document.getElementById("fen").textContent === fen &&
                        document.getElementById("status").textContent === "Your move.",
                    { timeout },
                    fen,
                );
            } catch {
                fail(
                    `${what}: expected "Your move." in ${fen}, ` +
                        `the page shows "${await text("status")}" in ${await text("fen")}`,
                );
            }
        },

        async waitForThinking(timeout = 3000) {
            await page.waitForFunction(
                () => document.getElementById("status").textContent === "Sorvane is thinking…",
                { timeout },
            );
        },

        // Starts a game from the New game dialog: `side` ("w" or "b"), `level`, `movetime` and
        // `clock` (a time control, "180+2") change the dialog's choices, the times also to ones
        // the page does not offer, as short as a check needs; `fen` sets up a position and `pgn` imports
        // a game, where the Start button starts from the usual position. A game in progress is
        // dropped when the page asks, unless `agree` is false. Returns whether the page asked.
        async newGame({ side, level, movetime, clock, fen, pgn, agree = true } = {}) {
            if (!(await page.$eval("#new-game", (d) => d.open))) await page.click("#new");
            if (side) await page.select("#side", side);
            if (level) await page.select("#level", level);
            if (clock !== undefined) {
                await page.$eval(
                    "#clock",
                    (select, control) =>
                        [...select.options].some((o) => o.value === control) ||
                        select.add(new Option(control, control)),
                    clock,
                );
                await page.select("#clock", clock);
            }
            if (movetime) {
                await page.$eval(
                    "#movetime",
                    (select, ms) =>
                        [...select.options].some((o) => o.value === ms) ||
                        select.add(new Option(`${ms / 1000} s`, ms)),
                    movetime,
                );
                await page.select("#movetime", movetime);
            }
            let asked = false;
            const answer = (dialog) => {
                asked = true;
                return agree ? dialog.accept() : dialog.dismiss();
            };
            page.on("dialog", answer);
            try {
                if (fen !== undefined) {
                    await page.$eval("#setup-box", (e) => (e.open = true));
                    await page.$eval("#fen-input", (e, fen) => (e.value = fen), fen);
                    await page.click("#set-fen");
                } else if (pgn !== undefined) {
                    await page.$eval("#import-box", (e) => (e.open = true));
                    await page.$eval("#pgn-input", (e, pgn) => (e.value = pgn), pgn);
                    await page.click("#load-pgn");
                } else await page.click("#start");
            } finally {
                page.off("dialog", answer);
            }
            return asked;
        },

        // Closes the New game dialog, left open by a refused set-up or import.
        async closeDialog() {
            if (await page.$eval("#new-game", (d) => d.open)) await page.click("#cancel-new");
        },

        // Sets up a position through the New game dialog.
        setUp: (fen, options) => helpers.newGame({ fen, ...options }),

        // Starts a game with a time control, "180+2", or "" for none.
        chooseClocks: (clock, options) => helpers.newGame({ clock, ...options }),

        // Pastes `pgn` into the import box and imports it.
        importPgn: (pgn, options) => helpers.newGame({ pgn, ...options }),

        // The file Download PGN saves: { name, text }.
        async downloadedPgn() {
            await page.click("#download");
            for (let tries = 0; tries < 100; ++tries) {
                const name = (await readdir(downloads)).find((file) => file.endsWith(".pgn"));
                if (name) return { name, text: await readFile(join(downloads, name), "utf8") };
                await sleep(50);
            }
            fail("Download PGN saved no .pgn file");
        },

        // Notes from now on the sounds the page plays and the words it reads out; heard() gives
        // those since the last call, { sounds: ["move", ...], words: ["Sorvane played ...", ...] }.
        async listen() {
            await page.evaluate(() => {
                window.soundsPlayed = [];
                window.wordsSaid = [];
                const body = document.body;
                new MutationObserver(() =>
                    window.soundsPlayed.push(body.dataset.lastSound),
                ).observe(body, { attributeFilter: ["data-sound-count"] });
                const announce = document.getElementById("announce");
                new MutationObserver(() => window.wordsSaid.push(announce.textContent)).observe(
                    announce,
                    { childList: true, characterData: true, subtree: true },
                );
            });
        },
        heard: () =>
            page.evaluate(() => ({
                sounds: window.soundsPlayed.splice(0),
                words: window.wordsSaid.splice(0),
            })),

        // Notes from now on every text the element `id` shows, for words that may come and go
        // before a look at the page; shown(id) gives them.
        async watch(id) {
            await page.evaluate((id) => {
                window.textsShown ??= {};
                const texts = (window.textsShown[id] = []);
                const element = document.getElementById(id);
                new MutationObserver(() => texts.push(element.textContent)).observe(element, {
                    childList: true,
                    characterData: true,
                    subtree: true,
                });
            }, id);
        },
        shown: (id) => page.evaluate((id) => window.textsShown[id], id),

        // The PGN the page copies, caught on its way to the clipboard.
        async copiedPgn() {
            await page.evaluate(() => {
                window.copiedText = undefined;
                navigator.clipboard.writeText = async (text) => (window.copiedText = text);
            });
            await page.click("#pgn");
            await page.waitForFunction(() => window.copiedText !== undefined);
            return page.evaluate(() => window.copiedText);
        },
    };
    // Analyses and reviews on one thread: three pages at once have two cores between them.
    if (await page.$eval("#threads-field", (e) => !e.hidden)) await page.select("#threads", "1");
    await helpers.newGame({ level: "full", movetime: "50" });
    await page.waitForFunction(
        () => document.getElementById("status").textContent === "Your move.",
    );
    return helpers;
}

// Checks that `after` follows from `before` by one legal move.
export function checkEngineMove(before, after) {
    const game = new Chess(before);
    const legal = game.moves({ verbose: true }).some((m) => {
        const next = new Chess(before);
        next.move(m);
        return next.fen() === after;
    });
    if (!legal) fail(`the engine's move from ${before} to ${after} is not legal`);
}

// The moves of a principal variation as shown, without their move numbers.
export function pvMoves(text) {
    return text
        .split(/\s+/)
        .filter((word) => word && !/^\d+\.+$|^\d+…$/.test(word))
        .map((word) => word.replace(/^\d+(\.+|…)/, ""))
        .filter(Boolean);
}

// The colour of the page's pixel at (x, y), as [r, g, b].
export async function pixel(page, x, y) {
    const png = await page.screenshot({ clip: { x, y, width: 1, height: 1 }, encoding: "base64" });
    return page.evaluate(async (png) => {
        const image = new Image();
        image.src = `data:image/png;base64,${png}`;
        await image.decode();
        const canvas = document.createElement("canvas");
        canvas.width = canvas.height = 1;
        const context = canvas.getContext("2d");
        context.drawImage(image, 0, 0);
        return [...context.getImageData(0, 0, 1, 1).data.slice(0, 3)];
    }, png);
}

// The contrast ratio of two colours given as [r, g, b], as WCAG reckons it: 4.5 is enough for
// small text.
export function contrast(a, b) {
    const luminance = (rgb) => {
        const [r, g, b] = rgb.map((c) => {
            const s = c / 255;
            return s <= 0.04045 ? s / 12.92 : ((s + 0.055) / 1.055) ** 2.4;
        });
        return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    const [light, dark] = [luminance(a), luminance(b)].sort((x, y) => y - x);
    return (light + 0.05) / (dark + 0.05);
}

// "rgb(26, 26, 26)" or "rgba(...)" as [r, g, b, alpha].
export function cssColor(text) {
    const [r, g, b, alpha = 1] = text.match(/[\d.]+/g).map(Number);
    return [r, g, b, alpha];
}

// Waits for the analysis's three lines of `shown` whose best move the blue arrow shows. The
// arrow follows the lines a frame later, when chessground redraws.
export async function analysed(t, shown, what) {
    const seen = () =>
        t.page.evaluate(() => {
            const arrow = document.querySelector("#board svg.cg-shapes g[cgHash$=',blue']");
            const lines = [...document.querySelectorAll("#analysis-lines li")];
            return {
                fen: document.getElementById("fen").textContent,
                arrow: arrow?.getAttribute("cgHash").split(",").slice(2, 4).join(""),
                best: lines[0]?.dataset.move,
                lines: lines.map((li) => li.textContent),
            };
        });
    let state;
    for (const started = Date.now(); Date.now() - started < 5000;) {
        state = await seen();
        if (state.fen === shown && state.lines.length === 3 && state.arrow === state.best) break;
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
    const { best, lines } = state;
    if (state.fen !== shown || lines.length !== 3 || state.arrow !== best)
        fail(`${what}: no three lines and arrow of ${shown}: ${JSON.stringify(state)}`);
    const san = new Chess(shown).move({ from: best.slice(0, 2), to: best.slice(2, 4) }).san;
    if (!lines.every((l) => ScorePattern.test(l.split(" ").slice(0, 2).join(" "))))
        fail(`${what}: the lines' scores do not say their side: ${lines}`);
    if (pvMoves(lines[0])[2] !== san)
        fail(`${what}: the best move ${best} does not lead the best line: ${lines[0]}`);
}

// Scores are shown from White's side: "White +0.35", "White −1.20", "Black mates in 2",
// "Black has mated".
export const ScorePattern = /^(White [+−]\d+\.\d\d|(White|Black) (mates in \d+|has mated))$/;

// The status while the board shows an earlier position and the game waits for the user.
export const LookingBack = "Looking back — press » to return to the game.";

// A game of twenty moves, still going on, with White to move.
export const LongGame =
    "1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 6. Re1 b5 7. Bb3 d6 8. c3 O-O 9. h3 Nb8 10. d4 Nbd7 11. Nbd2 Bb7 12. Bc2 Re8 13. Nf1 Bf8 14. Ng3 g6 15. a4 c5 16. d5 c4 17. Bg5 h6 18. Be3 Nc5 19. Qd2 h5 20. Bg5 Be7 *";
