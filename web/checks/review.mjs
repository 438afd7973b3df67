// Reviewing a game, and the names of its opening.
import { Desktop, StartFen, check, fail } from "./helpers.mjs";

// A short game White wins by a mate Black lets in with 3…Nf6??.
const Blundered = "1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0";

// Waits for the review to search every position; returns the searches it sent the engine.
async function reviewed(t) {
    await t.page.click("#review-game");
    await t.page
        .waitForFunction(
            () => {
                const progress = document.getElementById("review-progress");
                return (
                    document.getElementById("review-running").hidden &&
                    progress.value === progress.max
                );
            },
            { timeout: 15000 },
        )
        .catch(async () => fail(`the review did not finish: ${await t.text("review")}`));
    return t.page.evaluate(() => window.engineSent.filter((l) => l.startsWith("go movetime")));
}

// A finished game's review: each position searched for 0.3 s, the graph to scale, the blunder
// marked with the engine's move as an arrow, each side's accuracy, the PGN's comments; and it
// all comes back after a reload.
check(
    "review: a graph, the marks, the accuracy and the PGN",
    async (t) => {
        await t.importPgn(Blundered);
        await t.waitForOver(3000);
        const searches = await reviewed(t);
        // Eight positions; the engine answers the last one, mated, at once with no move.
        if (searches.length !== 8 || searches.some((go) => go !== "go movetime 300"))
            fail(`the review searched ${JSON.stringify(searches)}`);
        const answers = await t.page.evaluate(() => window.engineAnswers);
        if (answers[answers.length - 1] !== "bestmove 0000")
            fail(`the engine answered the mated position with ${answers[answers.length - 1]}`);
        const graph = await t.page.evaluate(() => {
            const svg = document.getElementById("graph");
            return {
                viewBox: svg.getAttribute("viewBox"),
                points: svg.querySelector(".line").getAttribute("points").split(" "),
                marks: [...svg.querySelectorAll(".mark")].map((m) => m.getAttribute("class")),
            };
        });
        const ys = graph.points.map((p) => Number(p.split(",")[1]));
        if (graph.viewBox !== "0 0 7 100" || graph.points.length !== 8)
            fail(`the graph is ${JSON.stringify(graph)}`);
        // White's chance from the top (100 %) to the foot (0 %): mated Black is 100 % White's.
        if (ys[7] !== 0 || ys.some((y) => y < 0 || y > 100))
            fail(`the graph's points are ${graph.points}`);
        if (!graph.marks.includes("mark judged-blunder"))
            fail(`the graph marks ${graph.marks}, no blunder`);
        const marked = await t.page.$$eval("#moves .move", (moves) =>
            moves.filter((m) => m.querySelector(".judgement")).map((m) => m.textContent),
        );
        if (!marked.includes("Nf6??")) fail(`the move list marks ${marked}`);
        const accuracy = await t.text("accuracy");
        if (
            !/^White: \d+ % accuracy, average loss \d+.* · Black: \d+ % accuracy, average loss \d+ \(.*1 blunder/.test(
                accuracy,
            )
        )
            fail(`the accuracy reads "${accuracy}"`);
        // The evaluation bar shows the review's score of the position shown: mated, then White
        // mating next move after the blunder.
        const bar = () => t.page.$eval("#evalbar .label", (e) => e.textContent);
        if ((await bar()) !== "#") fail(`the bar reads "${await bar()}" at the mate`);
        // The blunder, shown: its judgement in words and the engine's move as an arrow.
        await t.page.click("[data-ply='6']");
        if ((await bar()) !== "M1") fail(`the bar reads "${await bar()}" after the blunder`);
        const note = await t.text("review-note");
        if (
            !/^3… Nf6\?\? Blunder: Black's winning chance fell from \d+ % to 0 %\. .+ was best\.$/.test(
                note,
            )
        )
            fail(`the blunder's note reads "${note}"`);
        const arrow = await t.page
            .$eval("#board svg.cg-shapes g[cgHash$=',green']", (g) => g.getAttribute("cgHash"))
            .catch(() => "");
        if (!arrow) fail("the engine's move shows no arrow at the blunder");
        // A click on the graph shows that position.
        const box = await (await t.page.$("#graph")).boundingBox();
        await t.page.mouse.click(box.x + 2, box.y + box.height / 2);
        if ((await t.text("fen")) !== StartFen)
            fail("a click at the graph's start did not show the start");
        const pgn = await t.copiedPgn();
        for (const words of ["[%eval", "Blunder:", "was best."])
            if (!pgn.includes(words)) fail(`the PGN lacks "${words}":\n${pgn}`);
        if (!/Nf6 \{\[%eval #1\] Blunder: .+ was best\.\}/.test(pgn))
            fail(`the blunder's comment in the PGN reads:\n${pgn}`);

        // After a reload the review is there, with no search again.
        await t.page.reload();
        await t.page.waitForFunction(() => document.querySelectorAll("#moves .judgement").length);
        const again = await t.page.evaluate(() =>
            window.engineSent.filter((l) => l.startsWith("go movetime")),
        );
        if (again.length) fail(`after a reload the review searched again: ${again}`);
        if ((await t.text("accuracy")) !== accuracy)
            fail(`after a reload the accuracy reads "${await t.text("accuracy")}"`);
        if (!(await t.page.$eval("#review-game", (e) => e.disabled)))
            fail("a reviewed game offers its review again");
    },
    { viewport: Desktop },
);

// The opening's ECO code and name show under the board for the position shown, and the game's
// go into its PGN.
check("opening names under the board and in the PGN", async (t) => {
    await t.importPgn("1. e4 e5 2. Nf3 Nc6 3. Bb5 *");
    await t.page.waitForFunction(() => document.getElementById("opening").textContent, {
        timeout: 3000,
    });
    if ((await t.text("opening")) !== "C60 · Ruy Lopez")
        fail(`after 3. Bb5 the opening reads "${await t.text("opening")}"`);
    await t.page.click("[data-ply='1']");
    if ((await t.text("opening")) !== "B00 · King's Pawn Game")
        fail(`after 1. e4 the opening reads "${await t.text("opening")}"`);
    await t.page.click("#first");
    if (await t.text("opening")) fail(`the start is named "${await t.text("opening")}"`);
    const pgn = await t.copiedPgn();
    for (const tag of ['[ECO "C60"]', '[Opening "Ruy Lopez"]'])
        if (!pgn.includes(tag)) fail(`the PGN lacks ${tag}:\n${pgn}`);
});
