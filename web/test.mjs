// The page in a real browser: headless Chromium drives the board's own controls the way a user
// would, with 0.2 s a move for the engine. Each check starts from a fresh page, in a browser
// context of its own so that nothing the page remembers passes between checks, and no page may
// log an error.
//   node web/test.mjs [check name ...]      (after web/build.sh; no names runs them all)
import puppeteer from "puppeteer-core";
import { Chess } from "chess.js";
import { mkdtemp, readdir, readFile, rm } from "node:fs/promises";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { serve } from "./serve.mjs";

const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
let seed = 20261207;
const random = (n) => ((seed = (seed * 1103515245 + 12345) % 2147483648), seed % n);

function fail(message) {
    throw new Error(message);
}

const checks = [];
function check(name, run) {
    checks.push({ name, run });
}

// A fresh page with the engine loaded and set to full strength at 0.2 s a move, and the
// helpers the checks use. The page's commands to the engine, and the engine's option lines and
// answers, are recorded in window.engineSent, window.engineOptions and window.engineAnswers.
async function openPage(browser, url, errors, viewport = { width: 1100, height: 700 }) {
    const downloads = await mkdtemp(join(tmpdir(), "sorvane-test-"));
    const context = await browser.createBrowserContext({
        downloadBehavior: { policy: "allow", downloadPath: downloads },
    });
    context.on("targetdestroyed", () => rm(downloads, { recursive: true, force: true }));
    const page = await context.newPage();
    await page.setViewport(viewport);
    page.on("console", (m) => m.type() === "error" && errors.push(m.text()));
    page.on("pageerror", (e) => errors.push(String(e)));
    await page.evaluateOnNewDocument(() => {
        window.engineSent = [];
        window.engineOptions = [];
        window.engineAnswers = [];
        window.Worker = class extends Worker {
            constructor(...args) {
                super(...args);
                this.addEventListener("message", (event) => {
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
    await page.select("#level", "full");
    await page.click("#advanced summary");
    await page.select("#movetime", "200");
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

        // Sets up a position through the FEN box.
        async setUp(fen) {
            await page.$eval("#fen-input", (e, fen) => (e.value = fen), fen);
            await page.click("#set-fen");
        },

        // Picks a time control, "180+2", also one the page does not offer, as short as a
        // check needs.
        async chooseClocks(control) {
            await page.$eval(
                "#clock",
                (select, control) =>
                    [...select.options].some((o) => o.value === control) ||
                    select.add(new Option(control, control)),
                control,
            );
            await page.select("#clock", control);
        },

        // The file Download PGN saves: { name, text }.
        async downloadedPgn() {
            await page.click("#download");
            for (let tries = 0; tries < 100; ++tries) {
                const name = (await readdir(downloads)).find((file) => file.endsWith(".pgn"));
                if (name) return { name, text: await readFile(join(downloads, name), "utf8") };
                await new Promise((resolve) => setTimeout(resolve, 50));
            }
            fail("Download PGN saved no .pgn file");
        },

        // Pastes `pgn` into the import box and imports it.
        async importPgn(pgn) {
            if (!(await page.$eval("#import-box", (e) => e.open)))
                await page.click("#import-box summary");
            await page.$eval("#pgn-input", (e, pgn) => (e.value = pgn), pgn);
            await page.click("#load-pgn");
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
    return helpers;
}

// Checks that `after` follows from `before` by one legal move.
function checkEngineMove(before, after) {
    const game = new Chess(before);
    const legal = game.moves({ verbose: true }).some((m) => {
        const next = new Chess(before);
        next.move(m);
        return next.fen() === after;
    });
    if (!legal) fail(`the engine's move from ${before} to ${after} is not legal`);
}

// The moves of a principal variation as shown, without their move numbers.
function pvMoves(text) {
    return text
        .split(/\s+/)
        .filter((word) => word && !/^\d+\.+$|^\d+…$/.test(word))
        .map((word) => word.replace(/^\d+(\.+|…)/, ""))
        .filter(Boolean);
}

// The colour of the page's pixel at (x, y), as [r, g, b].
async function pixel(page, x, y) {
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
function contrast(a, b) {
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
function cssColor(text) {
    const [r, g, b, alpha = 1] = text.match(/[\d.]+/g).map(Number);
    return [r, g, b, alpha];
}

// Waits for the analysis's three lines of `shown` whose best move the blue arrow shows. The
// arrow follows the lines a frame later, when chessground redraws.
async function analysed(t, shown, what) {
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
const ScorePattern = /^(White [+−]\d+\.\d\d|(White|Black) (mates in \d+|has mated))$/;

// Whole games as white and as black with random legal moves for the user: every engine move
// must be legal, the engine's view must show and make sense, take back and new game must work.
check("plays as white and as black", async (t) => {
    for (const color of ["w", "b"]) {
        await t.page.select("#side", color);
        let fen = StartFen;
        if (color === "b") {
            fen = await t.waitForUser(StartFen); // the engine opens
            checkEngineMove(StartFen, fen);
        }
        let infoSeen = false,
            tookBack = false,
            moves = 0;
        for (; moves < 60 && !(await t.over()); ++moves) {
            const game = new Chess(fen);
            const choices = game
                .moves({ verbose: true })
                .filter((m) => !m.promotion || m.promotion === "q");
            const move = choices[random(choices.length)];
            await t.move(move.from, move.to);
            if (move.promotion) await t.page.click("#promotion [data-piece=q]");
            game.move(move);
            const afterUser = game.fen();
            const next = await t.waitForUser(fen);
            if (next === afterUser) break; // the user's move ended the game
            checkEngineMove(afterUser, next);
            if (/^\d+$/.test(await t.text("depth"))) infoSeen = true;
            const score = await t.text("score");
            if (score !== "–" && !ScorePattern.test(score))
                fail(`the score "${score}" does not say whose side it is from`);
            const pv = pvMoves(await t.text("pv"));
            if (pv.length && !new Chess(next).moves().includes(pv[0]))
                fail(`after the engine's move the PV "${await t.text("pv")}" is not the game's`);
            if (moves === 2 && color === "w")
                await t.page.screenshot({
                    path: new URL("../build-web/screenshot.png", import.meta.url).pathname,
                });
            if (moves === 3 && !tookBack) {
                await t.page.click("#undo"); // the engine's move and the user's
                if ((await t.text("fen")) !== fen)
                    fail("take back did not restore the position before the move");
                tookBack = true;
                continue;
            }
            fen = next;
        }
        if (!infoSeen) fail("the engine's depth and score never showed");
        if (!tookBack) fail("the game ended before take back could be tried");
        const end = (await t.over()) ? await t.text("status") : "not over";
        console.log(`  game as ${color === "w" ? "white" : "black"}: ${moves} moves, ${end}`);
        await t.page.click("#new");
        if (color === "w" && (await t.text("fen")) !== StartFen)
            fail("new game did not start afresh");
    }
});

// Take back always leaves the side to move able to move: the user, whose pieces then move, or
// the engine, which then thinks and answers.
check("take back leaves the game playable", async (t) => {
    // As black: the engine opens, and take back returns to the start with the engine to move.
    await t.page.select("#side", "b");
    await t.waitForUser(StartFen);
    await t.page.click("#undo");
    const replayed = await t.waitForUser(StartFen, 5000).catch(() => null);
    if (!replayed)
        fail(`after take back the engine never moved again: "${await t.text("status")}"`);
    checkEngineMove(StartFen, replayed);
    // Black's pieces move after that take back.
    const game = new Chess(replayed);
    const move = game.moves({ verbose: true }).find((m) => m.piece === "n");
    await t.move(move.from, move.to);
    game.move(move);
    await t.waitForUser(replayed);

    // As white after a set-up in which the engine, black, moves first.
    await t.page.select("#side", "w");
    const setup = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 3 3";
    await t.setUp(setup);
    await t.waitForUser(setup);
    await t.page.click("#undo");
    const again = await t.waitForUser(setup, 5000).catch(() => null);
    if (!again) fail(`after take back the engine never moved again: "${await t.text("status")}"`);
    checkEngineMove(setup, again);

    // An ordinary take back of the user's move and the engine's reply: the user moves again.
    const before = await t.text("fen");
    const game2 = new Chess(before);
    const move2 = game2.moves({ verbose: true }).find((m) => m.piece === "p");
    await t.move(move2.from, move2.to);
    await t.waitForUser(before);
    await t.page.click("#undo");
    await t.waitForUserAt(before, 3000, "after take back");
    await t.move(move2.from, move2.to);
    await t.waitForUser(before);
});

// The move list scrolls vertically and keeps the last move in view, however long the game.
// The position is a locked pawn wall that only the kings can walk behind, so the game lasts;
// the user's king avoids repeating positions so that no threefold repetition ends it either.
check("move list scrolls and shows the last move", async (t) => {
    const wall = "4k3/8/8/1p1p1p1p/pPpPpPpP/P1P1P1P1/8/4K3 w - - 0 1";
    await t.setUp(wall);
    await t.waitForUserAt(wall);
    const seen = new Map();
    const key = (game) => game.fen().split(" ").slice(0, 4).join(" ");
    const count = (game) => seen.set(key(game), (seen.get(key(game)) ?? 0) + 1);
    let fen = wall;
    count(new Chess(fen));
    for (let moves = 0; moves < 24; ++moves) {
        const game = new Chess(fen);
        // Moves after which neither the user nor any engine reply makes a third repetition,
        // those to new positions first.
        const safe = game.moves({ verbose: true }).filter((m) => {
            const next = new Chess(fen);
            next.move(m);
            m.fresh = !seen.has(key(next));
            return (
                (seen.get(key(next)) ?? 0) < 2 &&
                next.moves({ verbose: true }).every((reply) => {
                    const after = new Chess(next.fen());
                    after.move(reply);
                    return (seen.get(key(after)) ?? 0) < 2;
                })
            );
        });
        const fresh = safe.filter((m) => m.fresh);
        const choices = fresh.length ? fresh : safe;
        const move = choices[random(choices.length)];
        await t.move(move.from, move.to);
        game.move(move);
        count(game);
        fen = await t.waitForUser(fen);
        count(new Chess(fen));
    }
    if (await t.over()) fail(`the game ended early: ${await t.text("status")}`);
    const list = await t.page.$eval("#moves", (list) => {
        const box = list.getBoundingClientRect();
        const items = [...list.querySelectorAll("li")];
        const last = items[items.length - 1].getBoundingClientRect();
        return {
            spills: list.scrollWidth > list.clientWidth + 1,
            outside: items.some((li) => li.getBoundingClientRect().right > box.right + 1),
            scrolls: list.scrollHeight > list.clientHeight,
            lastShown: last.top >= box.top - 1 && last.bottom <= box.bottom + 1,
            lastText: items[items.length - 1].textContent,
        };
    });
    if (list.spills || list.outside) fail("the move list spills sideways past its box");
    if (!list.scrolls) fail("the move list does not scroll vertically");
    if (!list.lastShown) fail(`the last move "${list.lastText}" is scrolled out of view`);
});

// Set-up refuses impossible positions with a message for people, and keeps the game.
check("set-up refuses impossible positions", async (t) => {
    const refused = [
        ["4k3/8/8/8/8/8/4R3/4K3 w - - 0 1", /check/i],
        ["4k3/8/8/8/8/8/8/3KK3 w - - 0 1", /king/i],
        ["8/8/8/8/8/8/8/4K3 w - - 0 1", /king/i],
        ["4k3/8/8/8/8/8/8/P3K3 w - - 0 1", /pawn/i],
        ["3k4/8/8/8/8/8/8/p2K4 b - - 0 1", /pawn/i],
        ["4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1", /pawn/i],
        ["4k3/8/8/8/8/8/8/4K3 w K - 0 1", /castl/i],
        ["4k2r/8/8/8/8/8/8/4K3 w kq - 0 1", /castl/i],
        ["4k3/8/8/8/8/8/8/4K3 w - e6 0 1", /en passant/i],
        ["4k3/8/8/4p3/8/8/8/4K3 w - e3 0 1", /en passant/i],
        ["4k3/8/8/8/8/8/8/4K3 x - - 0 1", /move/i],
        ["4k3/8/8/8/8/8/8/4K3", /side|move/i],
        ["4k3/8/8/8/8/8/8/4K2 w - - 0 1", /rank|squares/i],
        ["hello", /./],
    ];
    const fen = await t.text("fen");
    for (const [bad, wording] of refused) {
        await t.setUp(bad);
        const message = await t.page.$eval("#setup-message", (e) => e.textContent).catch(() => "");
        if ((await t.text("fen")) !== fen) fail(`set-up accepted ${bad}`);
        if (!message) fail(`set-up refused ${bad} without a word`);
        if (/FEN:|invalid|Invalid/.test(message) || !wording.test(message))
            fail(`set-up refused ${bad} with "${message}"`);
        if ((await t.text("status")) !== "Your move.") fail(`refusing ${bad} upset the game`);
    }
    for (const good of [
        "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2",
        "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
    ]) {
        await t.setUp(good);
        await t.waitForUserAt(good, 3000, `setting up ${good}`);
        const message = await t.page.$eval("#setup-message", (e) => e.textContent);
        if (message) fail(`set-up of ${good} left the message "${message}"`);
    }
});

// A pawn on the last rank asks which piece it becomes.
check("promotion offers all four pieces", async (t) => {
    const fen = "6k1/P4ppp/8/8/8/8/8/6K1 w - - 0 1";
    await t.setUp(fen);
    await t.waitForUserAt(fen);
    await t.move("a7", "a8");
    const pieces = await t.page
        .waitForSelector("#promotion [data-piece]", { visible: true, timeout: 3000 })
        .then(() => t.page.$$eval("#promotion [data-piece]", (b) => b.map((e) => e.dataset.piece)))
        .catch(() => []);
    if (pieces.join("") !== "qrbn") fail(`the promotion choice offers "${pieces.join("")}"`);
    // By keyboard: the queen has the focus, Tab goes on to the rook and Enter takes it.
    await t.page.keyboard.press("Tab");
    await t.page.keyboard.press("Enter");
    await t
        .waitForOver(3000)
        .catch(() => fail("Tab and Enter in the promotion choice played no move"));
    if (!(await t.text("fen")).startsWith("R5k1/5ppp/")) fail("a8=R was not played");
    if ((await t.text("status")) !== "Checkmate: White wins.") fail("a8=R# is not mate");
});

// The PGN records the players, the date, the result and how the game ended.
check("PGN records the players and the result", async (t) => {
    const fen = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
    await t.setUp(fen);
    await t.waitForUserAt(fen);
    await t.move("a1", "a8");
    await t.waitForOver();
    const today = new Date();
    const date = [today.getFullYear(), today.getMonth() + 1, today.getDate()]
        .map((n) => String(n).padStart(2, "0"))
        .join(".");
    const pgn = await t.copiedPgn();
    for (const tag of [
        '[White "You"]',
        '[Black "Sorvane (full strength, 0.2 s per move)"]',
        '[Result "1-0"]',
        `[Date "${date}"]`,
        '[Termination "normal"]',
        `[FEN "${fen}"]`,
    ])
        if (!pgn.includes(tag)) fail(`the PGN lacks ${tag}:\n${pgn}`);
    if (!/Ra8#.*1-0\s*$/s.test(pgn)) fail(`the PGN's moves do not end in 1-0:\n${pgn}`);

    // The engine mates as white.
    const mate = "k7/8/1K6/8/8/8/8/7R w - - 0 1";
    await t.setUp(mate);
    await t.page.select("#side", "b");
    await t.waitForOver();
    const lost = await t.copiedPgn();
    for (const tag of [
        '[White "Sorvane (full strength, 0.2 s per move)"]',
        '[Black "You"]',
        '[Result "1-0"]',
    ])
        if (!lost.includes(tag)) fail(`the PGN lacks ${tag}:\n${lost}`);
});

// The levels run from the engine's lowest rating to its highest, then full strength; a new
// visitor meets a modest one. The engine gets the level before its search, and the PGN names it.
check("levels from beginner to full strength", async (t) => {
    const { min, max, levels } = await t.page.evaluate(() => {
        const line = window.engineOptions.find((l) => l.startsWith("option name UCI_Elo "));
        const words = line.split(" ");
        const number = (word) => Number(words[words.indexOf(word) + 1]);
        return {
            min: number("min"),
            max: number("max"),
            levels: [...document.querySelectorAll("#level option")].map((o) => [
                o.value,
                o.textContent,
            ]),
        };
    });
    const elos = levels.slice(0, -1).map(([value]) => Number(value));
    // The top of the range is the full search, offered once, as full strength.
    if (elos[0] !== min || !(elos[elos.length - 1] < max) || levels.length < 5)
        fail(`the levels ${JSON.stringify(levels)} do not run from ${min} to below ${max}`);
    if (levels[0][1] !== `Beginner (${min})` || levels[levels.length - 1][1] !== "Full strength")
        fail(`the levels are named ${levels.map((l) => l[1])}`);
    if (!(t.defaultLevel >= 1200 && t.defaultLevel <= 1400))
        fail(`a new visitor plays level ${t.defaultLevel}`);

    // The commands of the engine's last search, from its options to its "go".
    const lastSearch = () =>
        t.page.evaluate(() => {
            const sent = window.engineSent;
            let start = sent.findLastIndex((l) => l.startsWith("go "));
            while (start > 0 && !sent[start - 1].startsWith("go ") && sent[start - 1] !== "uci")
                --start;
            return sent.slice(start, sent.findLastIndex((l) => l.startsWith("go ")) + 1);
        });
    await t.page.select("#level", String(min));
    await t.move("e2", "e4");
    let fen = await t.waitForUser(StartFen);
    const weak = await lastSearch();
    for (const command of [
        "setoption name UCI_LimitStrength value true",
        `setoption name UCI_Elo value ${min}`,
    ])
        if (!weak.includes(command)) fail(`the engine's search at ${min} was ${weak}`);
    if (!(await t.copiedPgn()).includes(`[Black "Sorvane (level ${min})"]`))
        fail(`the PGN does not name level ${min}`);

    await t.page.select("#level", "full");
    const game = new Chess(fen);
    const move = game.moves({ verbose: true })[0];
    await t.move(move.from, move.to);
    await t.waitForUser(fen);
    if (!(await lastSearch()).includes("setoption name UCI_LimitStrength value false"))
        fail(`the engine's search at full strength was ${await lastSearch()}`);
    const pgn = await t.copiedPgn();
    if (!pgn.includes(`[Black "Sorvane (level ${min}; full strength, 0.2 s per move)"]`))
        fail(`the PGN names the engine as in:\n${pgn}`);

    // A level against the clocks: the engine gets the level and both clocks, and the PGN names
    // the level and the time control.
    await t.page.select("#level", String(min));
    await t.chooseClocks("180+2");
    await t.move("e2", "e4");
    await t.waitForUser(StartFen);
    const timed = await lastSearch();
    if (
        !timed.includes(`setoption name UCI_Elo value ${min}`) ||
        !/^go wtime \d+ btime \d+ winc 2000 binc 2000$/.test(timed[timed.length - 1])
    )
        fail(`the engine's search at ${min} with clocks was ${timed}`);
    const name = `Sorvane (level ${min}, 3+2)`;
    if (!(await t.copiedPgn()).includes(`[Black "${name}"]`))
        fail(`the PGN of a game at ${min} with clocks does not name the engine ${name}`);
});

// The result closes the move list with its reason; Play again starts over from the same position
// and side; a resignation ends the game and is the PGN's result.
check("resign, the result and play again", async (t) => {
    const fen = "k7/8/1K6/8/8/8/8/2Q5 w - - 0 1";
    await t.setUp(fen);
    await t.waitForUserAt(fen);
    await t.move("c1", "c7");
    await t.waitForOver();
    if ((await t.text("result")) !== "½-½ · Draw by stalemate.")
        fail(`after stalemate the move list ends with "${await t.text("result")}"`);
    await t.page.click("#again");
    await t.waitForUserAt(fen, 3000, "play again");
    if (await t.text("result")) fail("play again kept the old result");
    await t.move("c1", "c2");
    await t.waitForUser(fen);
    await t.page.click("#resign");
    const end = "White resigns: Black wins.";
    if ((await t.text("status")) !== end)
        fail(`after resigning the status is "${await t.text("status")}"`);
    if ((await t.text("result")) !== `0-1 · ${end}`)
        fail(`after resigning the move list ends with "${await t.text("result")}"`);
    if (!(await t.page.$eval("#undo", (e) => e.disabled)))
        fail("a resigned game can be taken back");
    const pgn = await t.copiedPgn();
    for (const tag of ['[Result "0-1"]', '[Termination "normal"]', `{${end}} 0-1`])
        if (!pgn.includes(tag)) fail(`the resigned game's PGN lacks ${tag}:\n${pgn}`);
    if (!(await t.page.$eval("#again", (e) => !e.hidden && e.offsetParent !== null)))
        fail("Play again is not offered after resigning");
    // Resigning before any move is recorded as well.
    await t.page.click("#again");
    await t.waitForUserAt(fen, 3000, "play again");
    await t.page.click("#resign");
    const unplayed = await t.copiedPgn();
    if (!unplayed.includes(`{${end}} 0-1`))
        fail(`a game resigned at once gives the PGN:\n${unplayed}`);
});

// With clocks the side to move's clock runs, the engine is told both clocks, and a clock
// reaching zero loses the game, or draws it when the winner has nothing left to mate with.
check("clocks and the flag", async (t) => {
    await t.chooseClocks("2+0");
    await t.move("e2", "e4");
    await t.waitForUser(StartFen);
    const go = await t.page.evaluate(() => window.engineSent.findLast((c) => c.startsWith("go")));
    if (!/^go wtime \d+ btime \d+ winc 0 binc 0$/.test(go)) fail(`the engine was sent "${go}"`);
    const clock = (id) =>
        t.page.$eval(`#${id}`, (e) => ({
            text: e.textContent,
            color: e.dataset.color,
            running: e.classList.contains("running"),
        }));
    const [top, bottom] = [await clock("clock-top"), await clock("clock-bottom")];
    if (bottom.color !== "w" || !bottom.running || top.running)
        fail(`the user's turn shows clocks ${JSON.stringify([top, bottom])}`);
    if (!/^0:0[01]\.\d$/.test(top.text))
        fail(`the engine's clock shows "${top.text}" after its move`);
    await t.waitForOver(5000);
    const lost = "Black wins on time.";
    if ((await t.text("status")) !== lost) fail(`the flag shows as "${await t.text("status")}"`);
    if ((await t.text("result")) !== `0-1 · ${lost}`)
        fail(`the flag's result is "${await t.text("result")}"`);
    if ((await t.text("clock-bottom")) !== "0:00.0")
        fail(`the flagged clock shows "${await t.text("clock-bottom")}"`);
    const pgn = await t.copiedPgn();
    for (const tag of [
        '[Result "0-1"]',
        '[Termination "time forfeit"]',
        '[TimeControl "2+0"]',
        '[Black "Sorvane (full strength, 2 s+0)"]',
    ])
        if (!pgn.includes(tag)) fail(`the PGN of a game lost on time lacks ${tag}:\n${pgn}`);

    // Black has only its king: White's flag draws.
    await t.chooseClocks("0.5+0");
    await t.setUp("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    await t.waitForOver(3000);
    const drawn = "Draw: White's time ran out, and Black cannot mate.";
    if ((await t.text("result")) !== `½-½ · ${drawn}`)
        fail(`the flag's result is "${await t.text("result")}"`);
});

// The game in progress, its clocks and the settings survive a reload; stored values the page
// cannot read are ignored.
check("the game and settings survive a reload", async (t) => {
    const lowest = await t.page.$eval("#level", (e) => e.options[0].value);
    await t.page.select("#level", lowest);
    await t.chooseClocks("20+0");
    await t.page.select("#side", "b");
    const fen = await t.waitForUser(StartFen);
    const moves = await t.text("moves");
    const engineClock = await t.text("clock-top");
    await t.page.reload();
    await t.waitForUserAt(fen, 10000, "after a reload");
    if ((await t.text("moves")) !== moves)
        fail(`after a reload the moves are "${await t.text("moves")}"`);
    if ((await t.orientation()) !== "black") fail("after a reload the user no longer plays black");
    await t.page.click("#first");
    if ((await t.text("fen")) !== StartFen || !(await t.text("review")).startsWith("Looking back"))
        fail(`after a reload looking back to the start shows ${await t.text("fen")}`);
    await t.page.keyboard.press("End");
    if ((await t.text("clock-top")) !== engineClock)
        fail(
            `the engine's clock went from ${engineClock} to ${await t.text("clock-top")} over a reload`,
        );
    // A later visit, where the browser does not keep the controls' values as a reload does.
    await t.page.goto(t.page.url());
    await t.waitForUserAt(fen, 10000, "on a later visit");
    const settings = await t.page.$$eval("#side, #level, #movetime", (e) =>
        e.map((c) => c.value).join(" "),
    );
    if (settings !== `b ${lowest} 200`)
        fail(`on a later visit the side, level and engine time are "${settings}"`);
    const name = `Sorvane (level ${lowest}, 20 s+0)`;
    if (!(await t.copiedPgn()).includes(`[White "${name}"]`))
        fail(`on a later visit the PGN does not name the engine ${name}`);

    // Stored values as the next visit finds them, written before the page's script runs.
    const store = async (values) => {
        const { identifier } = await t.page.evaluateOnNewDocument((values) => {
            for (const [key, value] of Object.entries(values)) localStorage.setItem(key, value);
        }, values);
        await t.page.goto(t.page.url());
        await t.page.removeScriptToEvaluateOnNewDocument(identifier);
    };
    await store({
        "sorvane.game": "{not json",
        "sorvane.settings": '{"version":1,"values":{"side":"purple"}}',
    });
    await t.waitForUserAt(StartFen, 10000, "with unreadable stored values");
    await store({ "sorvane.game": '{"version":1,"startFen":"x","moves":[3]}' });
    await t.waitForUserAt(StartFen, 10000, "with an impossible stored game");
});

// Download PGN saves the game as a .pgn file, and importing that file's text gives the same game
// to play on; a PGN that cannot be read leaves the game as it is.
check("PGN download and import", async (t) => {
    await t.move("e2", "e4");
    let fen = await t.waitForUser(StartFen);
    await t.move("d2", "d4");
    fen = await t.waitForUser(fen);
    const moves = await t.text("moves");
    const { name, text } = await t.downloadedPgn();
    if (!/^sorvane-\d{4}-\d\d-\d\d\.pgn$/.test(name)) fail(`the PGN file is named ${name}`);
    await t.page.click("#new");
    await t.importPgn(text);
    await t.waitForUserAt(fen, 3000, "the imported game");
    if ((await t.text("moves")) !== moves)
        fail(`the imported game's moves are "${await t.text("moves")}"`);

    for (const [bad, wording] of [
        ["1. e4 e5 2. Ke3", /^Move 2 for White, "Ke3", is not legal there\.$/],
        ["1. e4 e5 2. Nf3 Qxh7", /^Move 2 for Black, "Qxh7", is not legal there\.$/],
        ["garbage", /^That does not look like a game in PGN/],
        ["Not a game", /^That does not look like a game in PGN/],
    ]) {
        await t.importPgn(bad);
        const message = await t.text("import-message");
        if (!wording.test(message)) fail(`importing "${bad}" says "${message}"`);
        if ((await t.text("fen")) !== fen) fail(`importing "${bad}" changed the game`);
    }

    // Black to move: the user plays black.
    await t.importPgn("1. e4 e5 2. Nf3");
    await t.waitForUserAt("rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2");
    if ((await t.orientation()) !== "black")
        fail("a game with Black to move is not the user's as black");
    if (await t.text("import-message"))
        fail(`a good import left "${await t.text("import-message")}"`);
});

// Each move sounds as what it is, a capture, a check or the game's end; the Sound switch silences
// them and is remembered. The page names each sound it plays on the body: a test cannot listen.
check("sounds", async (t) => {
    await t.page.evaluate(() => {
        window.soundsPlayed = [];
        new MutationObserver(() =>
            window.soundsPlayed.push(document.body.dataset.lastSound),
        ).observe(document.body, { attributeFilter: ["data-sound-count"] });
    });
    const heard = async (fen, from, to, sounds) => {
        await t.setUp(fen);
        await t.waitForUserAt(fen);
        await t.page.evaluate(() => (window.soundsPlayed = []));
        await t.move(from, to);
        await t.waitForUser(fen);
        const played = await t.page.evaluate(() => window.soundsPlayed);
        if (played.join(" ") !== sounds.join(" "))
            fail(`${from}-${to} in ${fen} sounds as [${played}], not [${sounds}]`);
    };
    // The user's capture, then the engine's king move.
    await heard("4k3/8/8/8/8/8/p7/R3K3 w - - 0 1", "a1", "a2", ["capture", "move"]);
    await heard("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1", "a8", ["check", "move"]);
    await heard("k7/8/1K6/8/8/8/8/7R w - - 0 1", "h1", "h8", ["end"]);
    await t.page.click("#sound");
    await heard("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1", "a8", []);
    const remembered = await t.page.evaluate(() => localStorage.getItem("sorvane.settings"));
    if (!remembered.includes('"sound":false')) fail(`the Sound switch is stored as ${remembered}`);
});

// The engine's moves and the game's end are read out from a live region, in words; every control,
// shown or not yet, has a name a screen reader can say.
check("spoken moves and named controls", async (t) => {
    await t.move("e2", "e4");
    const afterUser = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
    const next = await t.waitForUser(StartFen);
    const played = new Chess(afterUser).moves({ verbose: true }).find((m) => {
        const game = new Chess(afterUser);
        game.move(m);
        return game.fen() === next;
    });
    const piece = { p: "pawn", n: "knight" }[played.piece];
    const said = `Sorvane played ${piece} ${played.from} to ${played.to}.`;
    if ((await t.text("announce")) !== said)
        fail(`"${await t.text("announce")}" is read out, not "${said}"`);
    if ((await t.page.$eval("#announce", (e) => e.getAttribute("aria-live"))) !== "polite")
        fail("the words are not in a live region");
    await t.setUp("k7/8/1K6/8/8/8/8/7R w - - 0 1");
    await t.page.select("#side", "b");
    await t.waitForOver();
    const mate = "Sorvane played rook h1 to h8, checkmate. Checkmate: White wins.";
    if ((await t.text("announce")) !== mate)
        fail(`the mate is read out as "${await t.text("announce")}"`);

    await t.page.click("#import-box summary");
    await t.page.$$eval("[hidden]", (e) => e.forEach((h) => (h.hidden = false)));
    const unnamed = [];
    for (const control of await t.page.$$("button, select, input, textarea")) {
        const node = await t.page.accessibility.snapshot({ root: control, interestingOnly: false });
        if (!node?.name?.trim())
            unnamed.push(await control.evaluate((e) => e.outerHTML.slice(0, 60)));
    }
    if (unnamed.length) fail(`controls without a name: ${unnamed.join(", ")}`);
});

// The board's coordinates are big enough and stand out from both colours of square; the page
// turns dark when the system asks for it.
check("readable coordinates and a dark theme", async (t) => {
    const board = await (await t.page.$("#board cg-board")).boundingBox();
    const square = (file, rank) =>
        pixel(
            t.page,
            board.x + ((file + 0.5) * board.width) / 8,
            board.y + ((7.5 - rank) * board.height) / 8,
        );
    const squares = { light: await square(4, 3), dark: await square(3, 3) }; // e4 and d4
    const coords = await t.page.$$eval("#board coord", (all) =>
        all.map((c) => {
            const style = getComputedStyle(c);
            return {
                text: c.textContent,
                size: parseFloat(style.fontSize),
                color: style.color,
                opacity: style.opacity * getComputedStyle(c.parentNode).opacity,
            };
        }),
    );
    for (const c of coords) {
        const [r, g, b, alpha] = cssColor(c.color);
        if (c.size < 11) fail(`the coordinate "${c.text}" is ${c.size} px`);
        if (alpha * c.opacity < 1) fail(`the coordinate "${c.text}" is see-through`);
        for (const [name, colour] of Object.entries(squares))
            if (contrast([r, g, b], colour) < 4.5)
                fail(
                    `"${c.text}" (${c.color}) on a ${name} square (${colour}) has contrast ${contrast([r, g, b], colour).toFixed(2)}`,
                );
    }

    const colours = () =>
        t.page.evaluate(() => {
            const style = (selector) => getComputedStyle(document.querySelector(selector));
            return {
                background: style("body").backgroundColor,
                text: style("body").color,
                moves: style("#moves").backgroundColor,
                analysis: style("#analysis").backgroundColor,
                analysisText: style("#analysis").color,
                lines: style("#analysis-lines").color,
                review: style("#review").color,
                number: style("#moves .number").color,
            };
        });
    await t.move("e2", "e4"); // the move list shows a move number
    await t.page.waitForSelector("#moves .number");
    await t.page.$eval("#analysis", (e) => (e.hidden = false));
    await t.page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "dark" }]);
    const dark = await colours();
    const black = [0, 0, 0];
    if (
        contrast(cssColor(dark.background).slice(0, 3), black) > 1.5 ||
        contrast(cssColor(dark.moves).slice(0, 3), black) > 1.8
    )
        fail(`the dark theme's background is ${dark.background}, the move list's ${dark.moves}`);
    if (contrast(cssColor(dark.text).slice(0, 3), cssColor(dark.background).slice(0, 3)) < 7)
        fail(`the dark theme's text ${dark.text} on ${dark.background} is hard to read`);
    if (contrast(cssColor(dark.analysis).slice(0, 3), black) > 1.8)
        fail(`the dark theme's analysis panel is ${dark.analysis}`);
    for (const [name, text, behind] of [
        ["analysis", dark.analysisText, dark.analysis],
        ["analysis lines", dark.lines, dark.analysis],
        ["looking back", dark.review, dark.background],
        ["move number", dark.number, dark.moves],
    ])
        if (contrast(cssColor(text).slice(0, 3), cssColor(behind).slice(0, 3)) < 4.5)
            fail(`the dark theme's ${name} text ${text} on ${behind} is hard to read`);
    await t.page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "light" }]);
    const light = await colours();
    if (contrast(cssColor(light.background).slice(0, 3), black) < 10)
        fail(`the light theme's background is ${light.background}`);
    if (contrast(cssColor(light.number).slice(0, 3), cssColor(light.moves).slice(0, 3)) < 4.5)
        fail(`the light theme's move numbers ${light.number} on ${light.moves} are hard to read`);
});

// The status while the board shows an earlier position and the game waits for the user.
const LookingBack = "Looking back — press » to return to the game.";

// The move list, the buttons and the arrow keys show earlier positions without changing the
// game; a move there starts a new line once the user agrees, and the engine answers it. The
// engine's move still arrives into the game while the user looks back.
check("move list navigation", async (t) => {
    const positions = [StartFen];
    for (const [from, to] of [
        ["e2", "e4"],
        ["d2", "d4"],
    ]) {
        await t.move(from, to);
        positions.push(null); // after the user's move, filled in below
        positions.push(await t.waitForUser(positions[positions.length - 2]));
    }
    const replay = new Chess();
    replay.move("e4");
    positions[1] = replay.fen();
    // Checks that the board's position (as the FEN under the list) and the marked move are
    // those after `ply` moves; the position after the user's second move is not checked.
    const shows = async (ply, what) => {
        const fen = await t.text("fen");
        const marked = await t.page.$eval("#moves .shown", (e) => e.dataset.ply).catch(() => "");
        if ((positions[ply] && fen !== positions[ply]) || marked !== (ply ? String(ply) : ""))
            fail(`${what}: the page shows ${fen}, move ${marked} marked, not move ${ply}`);
    };
    await t.listen();
    await t.page.click("[data-ply='1']");
    await shows(1, "a click on the first move");
    if (!(await t.text("review")).startsWith("Looking back")) fail("the review is not told");
    await t.page.keyboard.press("ArrowLeft");
    await shows(0, "←");
    if ((await t.text("fen")) !== StartFen) fail("← from the first move is not the start");
    await t.page.keyboard.press("ArrowRight");
    await t.page.keyboard.press("ArrowRight");
    await shows(2, "→ →");
    await t.page.click("#last");
    await shows(4, "the last button");
    if (await t.text("review")) fail("the latest position still says it looks back");
    await t.page.click("#first");
    await t.page.click("#next");
    await t.page.click("#next");
    await t.page.click("#previous");
    await shows(1, "first, next, next, previous");
    // The keys still work once the Sound switch, a checkbox, has been clicked and has the focus.
    await t.page.click("#sound");
    await t.page.click("#sound");
    await t.page.keyboard.press("ArrowLeft");
    await shows(0, "← after the Sound switch");
    await t.page.keyboard.press("ArrowRight");
    // After 1. e4 the engine is to move: not "Your move.", and the game waits as it was.
    if ((await t.text("status")) !== LookingBack)
        fail(`looking back at 1. e4 the status says "${await t.text("status")}"`);
    const quiet = await t.heard();
    if (quiet.sounds.length || quiet.words.length)
        fail(`looking back sounded ${quiet.sounds} and said ${quiet.words}`);

    // From the position after the engine's first reply: declined, then agreed.
    await t.page.click("#next");
    // The page asks a moment after the move, once chessground has handed it over.
    const moveAndAnswer = async (from, to, agree) => {
        const asked = new Promise((resolve) => t.page.once("dialog", resolve));
        await t.move(from, to);
        const dialog = await asked;
        await (agree ? dialog.accept() : dialog.dismiss());
    };
    await moveAndAnswer("g1", "f3", false);
    await shows(2, "a new line turned down");
    await moveAndAnswer("g1", "f3", true);
    const game = new Chess(positions[2]);
    game.move("Nf3");
    const answered = await t.waitForUser(positions[2]);
    checkEngineMove(game.fen(), answered);
    const { sounds } = await t.heard();
    if (sounds.length !== 2 || sounds[0] !== "move")
        fail(`the new line's move and the engine's answer sound as [${sounds}]`);
    const plies = await t.page.$$eval("#moves .move", (moves) => moves.length);
    if (plies !== 4) fail(`the new line has ${plies} moves`);

    // Looking back while the engine thinks: its move joins the game, the board stays put.
    await t.page.select("#movetime", "500");
    const before = new Chess(answered);
    const move = before.moves({ verbose: true }).find((m) => m.piece === "p");
    await t.move(move.from, move.to);
    await t.waitForThinking();
    await t.page.keyboard.press("Home");
    await t.page.waitForFunction(() => document.querySelectorAll("#moves .move").length === 6);
    await shows(0, "the engine's move while looking back");
    if ((await t.text("status")) !== LookingBack) fail("the engine's move did not arrive");
    await t.page.keyboard.press("End");
    await shows(6, "End");
    if ((await t.text("status")) !== "Your move.")
        fail("back at the game it is not the user's move");
});

// The evaluation bar stands beside the board on a phone, the user's share filling from the
// user's end, and reads the engine's score from the user's side, mates as "M1".
check("evaluation bar, on a phone", async (t) => {
    // The bar's parts once its fill has finished growing.
    const bar = async () => {
        await t.page.waitForFunction(
            () => !document.querySelector("#evalbar .fill").getAnimations().length,
        );
        return t.page.evaluate(() => {
            const box = (selector) => {
                const r = document.querySelector(selector).getBoundingClientRect();
                return { left: r.left, right: r.right, top: r.top, bottom: r.bottom };
            };
            return {
                bar: box("#evalbar"),
                fill: box("#evalbar .fill"),
                label: box("#evalbar .label"),
                text: document.querySelector("#evalbar .label").textContent,
                board: box("#board cg-board"),
                pageWidth: document.documentElement.scrollWidth,
            };
        });
    };
    const near = (a, b) => Math.abs(a - b) <= 1;
    // White, the user, mates next move whatever the engine plays.
    const mating = "k7/8/1K6/8/8/8/8/6R1 b - - 0 1";
    await t.setUp(mating);
    await t.waitForUser(mating);
    let shown = await bar();
    const { board } = shown;
    if (!near(board.right - board.left, board.bottom - board.top)) fail("the board is not square");
    if (shown.bar.right > board.left || shown.bar.left < 0 || shown.pageWidth > 390)
        fail(`the bar ${JSON.stringify(shown.bar)} is not beside the board on the screen`);
    if (!near(shown.bar.top, board.top) || !near(shown.bar.bottom, board.bottom))
        fail("the bar is not as tall as the board");
    if (shown.text !== "M1") fail(`the user's mate in 1 reads "${shown.text}"`);
    if (!near(shown.fill.top, shown.bar.top) || !near(shown.fill.bottom, shown.bar.bottom))
        fail("a mate of the user's does not fill the bar");
    if (!near(shown.label.bottom, shown.bar.bottom - 2)) fail("the score is not at the user's end");
    await t.page.click("#flip");
    shown = await bar();
    if (!near(shown.label.top, shown.bar.top + 2))
        fail("after a flip the score stays at the bottom");

    // As black the score reads from Black's side, and the user's share fills from below.
    await t.page.click("#new");
    await t.page.select("#side", "b");
    await t.waitForUser(StartFen);
    const white = await t.text("score");
    shown = await bar();
    const fromWhite = Number(white.replace("White ", "").replace("−", "-"));
    const fromUser = Number(shown.text.replace("−", "-"));
    if (Math.abs(fromUser + fromWhite) > 0.051)
        fail(`the bar reads "${shown.text}" to the user as black when the score is ${white}`);
    const height = shown.bar.bottom - shown.bar.top;
    const share = (shown.fill.bottom - shown.fill.top) / height;
    if (!near(shown.fill.bottom, shown.bar.bottom) || (fromUser > 0.2 && share <= 0.5))
        fail(`the user's share fills ${share} of the bar, not from the bottom`);
});

// A hint draws an arrow for a legal move and plays nothing. Analysis shows three lines of the
// position on the board with the best move as an arrow, follows the board when the user looks
// back or moves, and plays no move in the game; leaving it, the engine plays again.
check("analysis and hint", async (t) => {
    // The arrows on the board: [["g1f3", "green"], ...].
    const arrows = () =>
        t.page.$$eval("#board svg.cg-shapes g[cgHash]", (shapes) =>
            shapes.map((g) => {
                const [, , orig, dest, brush] = g.getAttribute("cgHash").split(",");
                return [orig + dest, brush];
            }),
        );
    const legal = (fen, uci) =>
        new Chess(fen).moves({ verbose: true }).some((m) => m.from + m.to === uci.slice(0, 4));
    const lastGo = () =>
        t.page.evaluate(() => window.engineSent.findLast((l) => l.startsWith("go ")));

    await t.page.click("#hint");
    await t.page.waitForFunction(() => document.querySelector("#board svg.cg-shapes g[cgHash]"));
    const [[hint, brush]] = await arrows();
    if (!legal(StartFen, hint) || brush !== "green") fail(`the hint is ${hint} in ${brush}`);
    if ((await t.text("fen")) !== StartFen || !(await lastGo()).startsWith("go movetime"))
        fail("the hint played its move or searched without a limit");

    await t.move("e2", "e4");
    const fen = await t.waitForUser(StartFen);
    const answers = () => t.page.evaluate(() => window.engineAnswers.length);
    const answered = await answers();
    await t.listen();
    await t.page.click("#analyse");
    await analysed(t, fen, "analysing the game");
    // The engine's view of the game, with its older figures, gives way to the lines.
    const viewShown = () => t.page.$eval("#info", (e) => e.checkVisibility());
    if (await viewShown()) fail("the engine's view of the game stands under the analysis");
    await new Promise((resolve) => setTimeout(resolve, 1000));
    if ((await answers()) !== answered) fail("the analysis ended by itself");
    if (
        !(await t.page.evaluate(() => window.engineSent.includes("setoption name MultiPV value 3")))
    )
        fail("the analysis did not ask for three lines");
    if ((await lastGo()) !== "go infinite") fail("the analysis is not open-ended");

    await t.page.keyboard.press("ArrowLeft");
    const afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
    await analysed(t, afterE4, "looking back");
    const heard = await t.heard();
    if (heard.sounds.length || heard.words.length)
        fail(`the analysis sounded ${heard.sounds} and said ${heard.words}`);

    // A move of the user's while analysing: the engine answers only once analysis ends.
    await t.page.keyboard.press("End");
    const game = new Chess(fen);
    const move = game.moves({ verbose: true }).find((m) => m.piece === "n");
    await t.move(move.from, move.to);
    game.move(move);
    await analysed(t, game.fen(), "after the user's move");
    await new Promise((resolve) => setTimeout(resolve, 400)); // two of the engine's moves' time
    if ((await t.page.$$eval("#moves .move", (m) => m.length)) !== 3)
        fail("the engine played while analysing");
    await t.page.click("#analyse");
    checkEngineMove(game.fen(), await t.waitForUser(game.fen()));
    const lines = await t.page.evaluate(() => {
        const sent = window.engineSent;
        const go = sent.findLastIndex((l) => l.startsWith("go "));
        return sent.slice(0, go).findLast((l) => l.startsWith("setoption name MultiPV"));
    });
    if (lines !== "setoption name MultiPV value 1") fail(`the game's search went with "${lines}"`);
    if (!(await t.page.$eval("#analysis", (e) => e.hidden)) || (await arrows()).length)
        fail("the analysis still shows after leaving it");
    if (!(await viewShown())) fail("the engine's view does not come back after analysis");
});

// With clocks, analysis waits for the game's end: the clocks would run on meanwhile. After a
// resignation it studies the last position and the earlier ones, while the game stays as it
// ended. Without clocks it goes on into a new game; Play again goes back to playing.
check("analysis after a game against the clock", async (t) => {
    await t.page.select("#level", await t.page.$eval("#level", (e) => e.options[0].value));
    await t.chooseClocks("60+0");
    await t.move("e2", "e4");
    const fen = await t.waitForUser(StartFen);
    if (!(await t.page.$eval("#analyse", (e) => e.disabled)))
        fail("analysis is offered while the clocks run");
    await t.page.click("#resign");
    if (await t.page.$eval("#analyse", (e) => e.disabled))
        fail("analysis is not offered once the game is over");
    await t.page.click("#analyse");
    await analysed(t, fen, "the resigned game's last position");
    await t.page.keyboard.press("Home");
    await analysed(t, StartFen, "the resigned game's start");
    // A move here would change a game that has ended: the board does not take it.
    const moves = await t.text("moves");
    t.page.on("dialog", (dialog) => dialog.accept());
    await t.move("d2", "d4");
    await new Promise((resolve) => setTimeout(resolve, 300));
    if ((await t.text("moves")) !== moves || !(await t.text("result")).includes("resigns"))
        fail(`a move looking back changed the resigned game to "${await t.text("moves")}"`);
    // Without clocks the analysis goes on into a new game, until Play again goes back to playing.
    await t.page.select("#clock", "");
    await analysed(t, StartFen, "a new game without clocks");
    const searches = () =>
        t.page.evaluate(() => window.engineSent.filter((l) => l === "go infinite").length);
    const before = await searches();
    await t.page.click("#resign");
    await t.page
        .waitForFunction(
            (n) => window.engineSent.filter((l) => l === "go infinite").length > n,
            { timeout: 3000 },
            before,
        )
        .catch(() => fail("resigning ended the analysis"));
    await t.page.click("#again");
    await t.waitForUserAt(StartFen, 3000, "play again after analysis");
    if (!(await t.page.$eval("#analysis", (e) => e.hidden))) fail("Play again kept analysing");
});

// A long search gives way at once to take back, new game, a change of sides and set-up: each
// must show within 3 s of a 10 s search (the margin is for a busy machine).
check("the engine can be interrupted", async (t) => {
    await t.page.select("#movetime", "10000");
    await t.move("e2", "e4");
    await t.waitForThinking();
    await t.page.click("#undo");
    await t.waitForUserAt(StartFen, 3000, "take back while the engine thinks");
    await t.move("d2", "d4");
    await t.waitForThinking();
    await t.page.click("#new");
    await t.waitForUserAt(StartFen, 3000, "new game while the engine thinks");
    await t.page.select("#side", "b");
    await t.waitForThinking();
    await t.page.select("#side", "w");
    await t.waitForUserAt(StartFen, 3000, "changing sides while the engine thinks");
    await t.move("e2", "e4");
    await t.waitForThinking();
    const fen = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1";
    await t.setUp(fen);
    await t.waitForUserAt(fen, 3000, "set-up while the engine thinks");
    // The fresh engine answers as before.
    await t.page.select("#movetime", "200");
    await t.move("e2", "e4");
    checkEngineMove("4k3/8/8/8/4P3/8/8/4K3 b - - 0 1", await t.waitForUser(fen, 3000));
});

// The engine's view follows the game: after its move the PV goes on from the new position,
// and after a take back the old search's depth, score and PV are gone.
check("the engine's view follows the game", async (t) => {
    // Before the engine has thought, the panel says what it will show.
    const visible = () => t.page.$eval("#info", (e) => e.innerText.trim());
    if (!/shows here/.test(await visible()))
        fail(`before any search the engine's view reads "${await visible()}"`);
    await t.move("e2", "e4");
    const fen = await t.waitForUser(StartFen);
    const pv = await t.text("pv");
    const moves = pvMoves(pv);
    if (moves.length && !new Chess(fen).moves().includes(moves[0]))
        fail(`after the engine's move its PV "${pv}" starts with a move that is not the user's`);
    await t.page.click("#undo");
    await t.waitForUserAt(StartFen);
    const shown = [await t.text("depth"), await t.text("score"), await t.text("pv")];
    if (shown.join("|") !== "||" || !/shows here/.test(await visible()))
        fail(`after take back the engine's view shows "${await visible()}"`);
    // The user's mating move ends the game: the engine's mate in 1 and its line are over too.
    const mating = "7k/8/5QK1/8/8/8/8/8 b - - 0 1";
    await t.setUp(mating);
    await t.waitForUser(mating);
    await t.move("f6", "g7");
    await t.waitForOver();
    const view = [await t.text("score"), await t.text("pv")];
    const bar = await t.page.$eval("#evalbar .label", (e) => e.textContent);
    if (view.join("|") !== "White has mated|" || bar !== "#")
        fail(`after the user's mate the engine's view shows ${view}, the bar "${bar}"`);
    // A stalemate is level: a score of nought reads without a sign on the bar.
    const stalemating = "7k/8/6K1/8/8/8/8/5Q2 b - - 0 1";
    await t.setUp(stalemating);
    await t.waitForUser(stalemating);
    await t.move("f1", "f6");
    await t.waitForOver();
    const level = await t.page.$eval("#evalbar .label", (e) => e.textContent);
    if (level !== "0.0") fail(`after a stalemate the bar reads "${level}"`);
});

// The score says whose side it is from, and who mates.
check("the score says whose side it is from", async (t) => {
    await t.move("e2", "e4");
    await t.page.waitForFunction(() => /\d/.test(document.getElementById("score").textContent));
    const score = await t.text("score");
    if (!/^White [+−]\d+\.\d\d$/.test(score)) fail(`the score shows as "${score}"`);
    const mate = "k7/8/1K6/8/8/8/8/7R w - - 0 1";
    await t.setUp(mate);
    // The engine finds the mate at once: every score shown is recorded from the start.
    await t.page.evaluate(() => {
        window.scoresShown = [];
        const score = document.getElementById("score");
        new MutationObserver(() => window.scoresShown.push(score.textContent)).observe(score, {
            childList: true,
            characterData: true,
            subtree: true,
        });
    });
    await t.page.select("#side", "b");
    await t.waitForOver();
    const shown = await t.page.evaluate(() => window.scoresShown);
    if (!shown.includes("White mates in 1"))
        fail(`the engine's mate in 1 shows as ${JSON.stringify(shown)}`);
});

// On a phone the board's squares are square, its coordinates sit on their files and ranks,
// and the controls are big enough for a finger.
check("phone layout", async (t) => {
    const layout = await t.page.evaluate(() => {
        const box = (e) => {
            const r = e.getBoundingClientRect();
            return { left: r.left, right: r.right, top: r.top, bottom: r.bottom };
        };
        const coords = (kind) =>
            [...document.querySelectorAll(`#board coords.${kind} coord`)].map((c) => ({
                text: c.textContent,
                ...box(c),
            }));
        const piece = document.querySelector("#board piece").getBoundingClientRect();
        return {
            board: box(document.querySelector("#board cg-board")),
            piece: { width: piece.width, height: piece.height },
            files: coords("files"),
            ranks: coords("ranks"),
            controls: [...document.querySelectorAll("button, select, input")]
                .filter((e) => e.offsetParent !== null)
                // A checkbox takes the clicks on its whole label.
                .map((e) => ({
                    id: e.id || e.textContent,
                    height: (e.type === "checkbox" ? e.closest("label") : e).offsetHeight,
                })),
            // Labels apart from their controls, on another line.
            strayLabels: [...document.querySelectorAll("label[for]")]
                .filter((label) => label.offsetParent !== null)
                .filter((label) => {
                    const a = label.getBoundingClientRect();
                    const b = document.getElementById(label.htmlFor).getBoundingClientRect();
                    return a.bottom < b.top || b.bottom < a.top;
                })
                .map((label) => label.textContent),
            pageWidth: document.documentElement.scrollWidth,
        };
    });
    const { board } = layout;
    const width = board.right - board.left,
        height = board.bottom - board.top,
        size = width / 8;
    if (Math.abs(width - height) > 0.5) fail(`the board is ${width}x${height} px`);
    if (Math.abs(layout.piece.width - layout.piece.height) > 0.5)
        fail(`the squares are ${layout.piece.width}x${layout.piece.height} px`);
    if (layout.files.length !== 8 || layout.ranks.length !== 8) fail("the coordinates are missing");
    for (const c of layout.files) {
        const left = board.left + (c.text.toLowerCase().charCodeAt(0) - 97) * size;
        if (c.left < left - 0.5 || c.right > left + size + 0.5 || c.bottom > board.bottom + 0.5)
            fail(`the file letter "${c.text}" is off its file`);
    }
    for (const c of layout.ranks) {
        const bottom = board.bottom - (Number(c.text) - 1) * size;
        if (c.top < bottom - size - 0.5 || c.bottom > bottom + 0.5 || c.left < board.left - 0.5)
            fail(`the rank number "${c.text}" is off its rank`);
    }
    for (const c of layout.controls)
        if (c.height < 44) fail(`the control "${c.id}" is ${c.height} px tall`);
    if (layout.pageWidth > 390) fail(`the page is ${layout.pageWidth} px wide on a 390 px screen`);
    if (layout.strayLabels.length)
        fail(`the labels ${layout.strayLabels} are apart from their controls`);
    // The board still plays by touch-sized clicks.
    await t.move("e2", "e4");
    await t.waitForUser(StartFen);
});

const server = await serve(0);
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu"],
});
const url = `http://127.0.0.1:${server.address().port}/`;
const Phone = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 3 };
let passed = 0,
    failed = 0;
try {
    const wanted = process.argv.slice(2);
    for (const { name, run } of checks) {
        if (wanted.length && !wanted.some((w) => name.includes(w))) continue;
        const started = Date.now();
        const errors = [];
        try {
            const t = await openPage(
                browser,
                url,
                errors,
                name.includes("phone") ? Phone : undefined,
            );
            await run(t);
            await t.page.browserContext().close();
            if (errors.length) fail("the page logged errors:\n" + errors.join("\n"));
            ++passed;
            console.log(`ok   ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
        } catch (error) {
            ++failed;
            console.log(`FAIL ${name}: ${error.message}`);
        }
    }
} finally {
    await browser.close();
    server.close();
}
console.log(`${passed} passed, ${failed} failed`);
if (failed) process.exitCode = 1;
