// The engine at work: analysis, hints, the engine's view of the game, its scores, and giving way
// at once when the game changes under it.
import { Chess } from "chess.js";
import {
    ScorePattern,
    StartFen,
    analysed,
    check,
    checkEngineMove,
    fail,
    pvMoves,
    sleep,
} from "./helpers.mjs";

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
    await sleep(1000);
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
    await sleep(400); // two of the engine's moves' time
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
    const lowest = await t.page.$eval("#level", (e) => e.options[0].value);
    await t.chooseClocks("60+0", { level: lowest });
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
    const asked = (dialog) => dialog.dismiss();
    t.page.on("dialog", asked);
    await t.move("d2", "d4");
    await sleep(300);
    t.page.off("dialog", asked);
    if ((await t.text("moves")) !== moves || !(await t.text("result")).includes("resigns"))
        fail(`a move looking back changed the resigned game to "${await t.text("moves")}"`);
    // Without clocks the analysis goes on into a new game, until Play again goes back to playing.
    await t.newGame({ clock: "" });
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
    await t.newGame({ movetime: "10000" });
    await t.move("e2", "e4");
    await t.waitForThinking();
    await t.page.click("#undo");
    await t.waitForUserAt(StartFen, 3000, "take back while the engine thinks");
    await t.move("d2", "d4");
    await t.waitForThinking();
    await t.newGame();
    await t.waitForUserAt(StartFen, 3000, "new game while the engine thinks");
    await t.newGame({ side: "b" });
    await t.waitForThinking();
    await t.newGame({ side: "w" });
    await t.waitForUserAt(StartFen, 3000, "changing sides while the engine thinks");
    await t.move("e2", "e4");
    await t.waitForThinking();
    const fen = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1";
    await t.setUp(fen, { movetime: "200" });
    await t.waitForUserAt(fen, 3000, "set-up while the engine thinks");
    // The fresh engine answers as before.
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
    // The engine finds the mate at once: every score shown is recorded from the start.
    await t.watch("score");
    await t.setUp(mate, { side: "b" });
    await t.waitForOver();
    const shown = await t.shown("score");
    if (!shown.includes("White mates in 1"))
        fail(`the engine's mate in 1 shows as ${JSON.stringify(shown)}`);
});

// A game's end in analysis: the engine answers a mated or stalemated position with a score and
// no move ("score mate 0" or "score cp 0", then "bestmove 0000"), which the lines and the
// evaluation bar show; a draw by a rule the engine does not know is level without a search.
// The threaded engine waits for "stop" after its answer, the one-thread engine gives its
// "bestmove 0000" at once.
for (const isolated of [true, false])
    check(
        `analysis at the game's end: mate, stalemate and a draw by the rules${isolated ? "" : ", one thread"}`,
        async (t) => {
            const shown = () =>
                t.page.evaluate(() => ({
                    depth: document.getElementById("analysis-depth").textContent,
                    lines: [...document.querySelectorAll("#analysis-lines li")].map((li) =>
                        li.textContent.trim(),
                    ),
                    bar: document.querySelector("#evalbar .label").textContent,
                }));
            // Waits until analysis shows `line` alone at depth 0 and the bar reads `bar`.
            const ends = async (line, bar, what) => {
                await t.page
                    .waitForFunction(
                        (line, bar) =>
                            document.getElementById("analysis-depth").textContent === "0" &&
                            [...document.querySelectorAll("#analysis-lines li")]
                                .map((li) => li.textContent.trim())
                                .join() === line &&
                            document.querySelector("#evalbar .label").textContent === bar,
                        { timeout: 5000 },
                        line,
                        bar,
                    )
                    .catch(async () =>
                        fail(`${what}: analysis shows ${JSON.stringify(await shown())}`),
                    );
            };
            const goes = () =>
                t.page.evaluate(() => window.engineSent.filter((l) => l.startsWith("go ")).length);
            const lastPosition = () =>
                t.page.evaluate(() => window.engineSent.findLast((l) => l.startsWith("position ")));

            // Analysis shows three lines of `fen`.
            const analysing = (fen) =>
                t.page.waitForFunction(
                    (fen) =>
                        document.getElementById("fen").textContent === fen &&
                        document.querySelectorAll("#analysis-lines li").length === 3,
                    {},
                    fen,
                );
            const mating = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
            await t.setUp(mating);
            await t.waitForUserAt(mating);
            await t.page.click("#analyse");
            await analysing(mating);
            await t.move("a1", "a8");
            await t.waitForOver();
            await ends("White has mated", "#", "the user's mate");
            if (!(await lastPosition()).endsWith("moves a1a8"))
                fail(`the mated position was not the engine's to answer: ${await lastPosition()}`);
            const stalemating = "7k/8/6K1/8/8/8/8/5Q2 w - - 0 1";
            await t.setUp(stalemating);
            await analysing(stalemating);
            await t.move("f1", "f7");
            await t.waitForOver();
            await ends("White +0.00", "0.0", "the stalemate");
            const answers = await t.page.evaluate(() =>
                window.engineLines
                    .filter((l) => l.line.startsWith("info depth 0 "))
                    .map((l) => l.line),
            );
            if (answers.join() !== "info depth 0 score mate 0,info depth 0 score cp 0")
                fail(`the engine answered the mate and the stalemate with ${answers}`);
            // A bishop cannot mate: the game is drawn at once, and the engine is not asked.
            const bishop = "8/8/8/8/8/2k5/8/K1B5 w - - 0 1";
            const before = await goes();
            await t.setUp(bishop);
            await t.waitForOver();
            await ends("White +0.00", "0.0", "a draw by too little material");
            if ((await goes()) !== before || (await lastPosition()).includes("K1B5"))
                fail("the engine was asked about a drawn position");
        },
        { isolated },
    );
