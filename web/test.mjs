// The page in a real browser: headless Chromium plays a whole game as white and one as black
// through the board's own controls, with random legal moves for the user and 0.2 s a move for
// the engine. Every engine move must be legal, the engine's info must show, take-back and new
// game must work, and the page must log no error.
//   node web/test.mjs            (after web/build.sh)
import puppeteer from "puppeteer-core";
import { Chess } from "chess.js";
import { serve } from "./serve.mjs";

const MaxMoves = 60;
const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
let seed = 20261207;
const random = (n) => ((seed = (seed * 1103515245 + 12345) % 2147483648), seed % n);

function fail(message) {
    throw new Error(message);
}

const server = await serve(0);
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu"],
});
const errors = [];
try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1100, height: 700 });
    page.on("console", (m) => m.type() === "error" && errors.push(m.text()));
    page.on("pageerror", (e) => errors.push(String(e)));
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.waitForFunction(
        () => document.getElementById("status").textContent === "Your move.",
    );
    await page.select("#movetime", "200");

    const text = (id) => page.$eval(`#${id}`, (e) => e.textContent);
    const over = () => page.$eval("#status", (e) => e.className === "over");

    // Clicks a square of the board as a user would, whichever way round it stands.
    async function clickSquare(square, orientation) {
        const box = await (await page.$("#board cg-board")).boundingBox();
        const size = box.width / 8,
            file = square.charCodeAt(0) - 97,
            rank = Number(square[1]) - 1;
        const col = orientation === "white" ? file : 7 - file,
            row = orientation === "white" ? 7 - rank : rank;
        await page.mouse.click(box.x + (col + 0.5) * size, box.y + (row + 0.5) * size);
    }

    // Waits until it is the user's turn again (or the game is over); returns the new FEN.
    async function waitForUser(previousFen) {
        await page.waitForFunction(
            (fen) => {
                const status = document.getElementById("status");
                return (
                    document.getElementById("fen").textContent !== fen &&
                    (status.textContent === "Your move." || status.className === "over")
                );
            },
            { timeout: 30000 },
            previousFen,
        );
        return text("fen");
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

    async function playGame(color) {
        const orientation = color === "w" ? "white" : "black";
        await page.select("#side", color);
        let fen = StartFen;
        if (color === "b") {
            fen = await waitForUser(StartFen); // the engine opens
            checkEngineMove(StartFen, fen);
        }
        let infoSeen = false,
            tookBack = false,
            moves = 0;
        for (; moves < MaxMoves && !(await over()); ++moves) {
            const game = new Chess(fen);
            const choices = game
                .moves({ verbose: true })
                .filter((m) => !m.promotion || m.promotion === "q");
            const move = choices[random(choices.length)];
            await clickSquare(move.from, orientation);
            await clickSquare(move.to, orientation);
            game.move(move);
            const afterUser = game.fen();
            const next = await waitForUser(fen);
            if (next === afterUser) break; // the user's move ended the game
            checkEngineMove(afterUser, next);
            if (/^\d+$/.test(await text("depth"))) infoSeen = true;
            if (moves === 4 && color === "w")
                await page.screenshot({
                    path: new URL("../build-web/screenshot.png", import.meta.url).pathname,
                });
            if (moves === 3 && !tookBack) {
                await page.click("#undo"); // the engine's move and the user's
                if ((await text("fen")) !== fen)
                    fail("take back did not restore the position before the move");
                tookBack = true;
                continue;
            }
            fen = next;
        }
        if (!infoSeen) fail("the engine's depth and score never showed");
        if (!tookBack) fail("the game ended before take back could be tried");
        console.log(
            `game as ${orientation}: ${moves} moves, ${(await over()) ? await text("status") : "not over"}`,
        );
        await page.click("#new");
        const start = await text("fen");
        if (color === "w" && start !== StartFen) fail(`new game did not start afresh: ${start}`);
    }

    await playGame("w");
    await playGame("b");
    if (errors.length) fail("the page logged errors:\n" + errors.join("\n"));
    console.log("1 passed, 0 failed");
} catch (error) {
    console.error(error.message);
    console.log("0 passed, 1 failed");
    process.exitCode = 1;
} finally {
    await browser.close();
    server.close();
}
