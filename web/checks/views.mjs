// What the page shows and says: sounds, words read out, names, colours, looking back over the
// moves, the evaluation bar and the layout on a phone.
import { Chess } from "chess.js";
import {
    LookingBack,
    Phone,
    StartFen,
    check,
    checkEngineMove,
    contrast,
    cssColor,
    fail,
} from "./helpers.mjs";

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
    await t.setUp("k7/8/1K6/8/8/8/8/7R w - - 0 1", { side: "b" });
    await t.waitForOver();
    const mate = "Sorvane played rook h1 to h8, checkmate. Checkmate: White wins.";
    if ((await t.text("announce")) !== mate)
        fail(`the mate is read out as "${await t.text("announce")}"`);

    await t.page.$$eval("details", (e) => e.forEach((d) => (d.open = true)));
    await t.page.$$eval("[hidden]", (e) => e.forEach((h) => (h.hidden = false)));
    // The page's controls, then the dialog's, which the open dialog alone lets a reader reach.
    const unnamed = [];
    for (const where of ["#panel, .board-column", "#new-game"]) {
        if (where === "#new-game") {
            await t.page.click("#new");
            await t.page.$$eval("[hidden]", (e) => e.forEach((h) => (h.hidden = false)));
        }
        for (const control of await t.page.$$(
            `:is(${where}) :is(button, select, input, textarea)`,
        )) {
            const node = await t.page.accessibility.snapshot({
                root: control,
                interestingOnly: false,
            });
            if (!node?.name?.trim())
                unnamed.push(await control.evaluate((e) => e.outerHTML.slice(0, 60)));
        }
    }
    if (unnamed.length) fail(`controls without a name: ${unnamed.join(", ")}`);
});

// The board's coordinates, outside the board, are big enough and stand out from the page, in the
// light theme and the dark; the page turns dark when the system asks for it.
check("readable coordinates and a dark theme", async (t) => {
    const coordinates = async (theme) => {
        await t.page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: theme }]);
        const { background, coords } = await t.page.evaluate(() => ({
            background: getComputedStyle(document.body).backgroundColor,
            coords: [...document.querySelectorAll("#board coord")].map((c) => {
                const style = getComputedStyle(c);
                return {
                    text: c.textContent,
                    size: parseFloat(style.fontSize),
                    color: style.color,
                    opacity: style.opacity * getComputedStyle(c.parentNode).opacity,
                };
            }),
        }));
        if (coords.length !== 16) fail(`the board has ${coords.length} coordinates`);
        for (const c of coords) {
            const [r, g, b, alpha] = cssColor(c.color);
            const ratio = contrast([r, g, b], cssColor(background).slice(0, 3));
            if (c.size < 11) fail(`the coordinate "${c.text}" is ${c.size} px`);
            if (alpha * c.opacity < 1) fail(`the coordinate "${c.text}" is see-through`);
            if (ratio < 4.5)
                fail(
                    `in the ${theme} theme "${c.text}" (${c.color}) on ${background} has contrast ${ratio.toFixed(2)}`,
                );
        }
    };
    await coordinates("light");
    await coordinates("dark");
    await t.page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "light" }]);

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
                review: style("#looking-back").color,
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

// The move list, the buttons and the arrow keys show earlier positions without changing the
// game; a move there starts a new line once the user agrees, and the engine answers it. The
// engine's move still arrives into the game while the user looks back.
check("move list navigation", async (t) => {
    await t.newGame({ movetime: "500" }); // time to look back while the engine thinks
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
    if (!(await t.text("looking-back")).startsWith("Looking back")) fail("the review is not told");
    await t.page.keyboard.press("ArrowLeft");
    await shows(0, "←");
    if ((await t.text("fen")) !== StartFen) fail("← from the first move is not the start");
    await t.page.keyboard.press("ArrowRight");
    await t.page.keyboard.press("ArrowRight");
    await shows(2, "→ →");
    await t.page.click("#last");
    await shows(4, "the last button");
    if (await t.text("looking-back")) fail("the latest position still says it looks back");
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
check(
    "evaluation bar, on a phone",
    async (t) => {
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
        if (!near(board.right - board.left, board.bottom - board.top))
            fail("the board is not square");
        if (shown.bar.right > board.left || shown.bar.left < 0 || shown.pageWidth > 390)
            fail(`the bar ${JSON.stringify(shown.bar)} is not beside the board on the screen`);
        if (!near(shown.bar.top, board.top) || !near(shown.bar.bottom, board.bottom))
            fail(
                `the bar ${JSON.stringify(shown.bar)} is not as tall as the board ${JSON.stringify(board)}`,
            );
        if (shown.text !== "M1") fail(`the user's mate in 1 reads "${shown.text}"`);
        if (!near(shown.fill.top, shown.bar.top) || !near(shown.fill.bottom, shown.bar.bottom))
            fail("a mate of the user's does not fill the bar");
        if (!near(shown.label.bottom, shown.bar.bottom - 2))
            fail("the score is not at the user's end");
        await t.page.click("#flip");
        shown = await bar();
        if (!near(shown.label.top, shown.bar.top + 2))
            fail("after a flip the score stays at the bottom");

        // As black the score reads from Black's side, and the user's share fills from below.
        await t.newGame({ side: "b" });
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
    },
    { viewport: Phone },
);

// On a phone the board's squares are square, its coordinates sit on their files and ranks,
// and the controls are big enough for a finger.
check(
    "phone layout",
    async (t) => {
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
        if (layout.files.length !== 8 || layout.ranks.length !== 8)
            fail("the coordinates are missing");
        for (const c of layout.files) {
            const left = board.left + (c.text.toLowerCase().charCodeAt(0) - 97) * size;
            // Under the board, where no piece stands.
            if (c.left < left - 0.5 || c.right > left + size + 0.5 || c.top < board.bottom - 0.5)
                fail(`the file letter "${c.text}" is off its file`);
        }
        for (const c of layout.ranks) {
            const bottom = board.bottom - (Number(c.text) - 1) * size;
            // Left of the board, and on the screen.
            if (
                c.top < bottom - size - 0.5 ||
                c.bottom > bottom + 0.5 ||
                c.right > board.left + 0.5 ||
                c.left < 0
            )
                fail(`the rank number "${c.text}" is off its rank`);
        }
        for (const c of layout.controls)
            if (c.height < 44) fail(`the control "${c.id}" is ${c.height} px tall`);
        if (layout.pageWidth > 390)
            fail(`the page is ${layout.pageWidth} px wide on a 390 px screen`);
        if (layout.strayLabels.length)
            fail(`the labels ${layout.strayLabels} are apart from their controls`);
        // The board still plays by touch-sized clicks.
        await t.move("e2", "e4");
        await t.waitForUser(StartFen);
    },
    { viewport: Phone },
);

// ---- Faults of issue 28, as first written against the page before the fixes ----
