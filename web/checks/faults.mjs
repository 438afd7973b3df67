// The faults found by trying the page as a new user would: each check failed on the page before
// its fix.
import { Chess } from "chess.js";
import { Desktop, LongGame, Phone, StartFen, check, fail, sleep } from "./helpers.mjs";

// The element ids of what matters during a game, which must all be on the screen.
const Playing = [
    "player-top",
    "navigation",
    "moves",
    "status-row",
    "move-form",
    "player-bottom",
    "game-buttons",
];

// The boxes of the elements with these ids, from the top of the page, and the window's height.
// A click may have scrolled the page; the fold is where the page first ends.
function boxes(page, ids) {
    return page.evaluate((ids) => {
        const found = {};
        for (const id of ids) {
            const r = document.getElementById(id).getBoundingClientRect();
            found[id] = {
                top: r.top + scrollY,
                bottom: r.bottom + scrollY,
                left: r.left,
                right: r.right,
                height: r.height,
            };
        }
        return { found, height: innerHeight };
    }, ids);
}

// Fails unless every element named is wholly on the screen as the page opens, unscrolled.
async function allInView(page, ids, what) {
    const { found, height } = await boxes(page, ids);
    const below = Object.entries(found)
        .filter(([, box]) => box.bottom > height + 0.5 || box.top < -0.5 || !box.height)
        .map(([id, box]) => `#${id} (${Math.round(box.top)} to ${Math.round(box.bottom)} px)`);
    if (below.length) fail(`${what}: ${below.join(", ")} not within the ${height} px screen`);
}

// Fails unless the game stands beside the board (`under` it on a phone) in a chess site's order:
// the engine's name and clock, the navigation and the move list, the user's name and clock, the
// game's buttons; and unless the board is at least `size` px across.
async function inOrder(page, under, size, what) {
    const order = ["player-top", "navigation", "moves", "player-bottom", "game-buttons"];
    const { found } = await boxes(page, ["board", ...order]);
    const board = found.board;
    if (board.height < size || board.right - board.left < size)
        fail(`${what}: the board is ${Math.round(board.right - board.left)} px across`);
    const astray = order.filter((id) =>
        under ? found[id].top < board.bottom : found[id].left < board.right,
    );
    if (astray.length) fail(`${what}: ${astray} not ${under ? "under" : "beside"} the board`);
    for (let i = 1; i < order.length; ++i)
        if (found[order[i]].top < found[order[i - 1]].bottom - 0.5)
            fail(`${what}: #${order[i]} stands above #${order[i - 1]}`);
    const names = await page.$$eval(".player-name", (all) => all.map((n) => n.textContent));
    if (!names[0].startsWith("Sorvane") || names[1] !== "You")
        fail(`${what}: the engine's and the user's names read ${names}`);
}

// Without a mouse: Tab reaches the board, which has a name; the arrow keys move a cursor whose
// square is read out, and Enter picks up a piece and puts it down.
check("keyboard: the board takes the focus and plays by keys", async (t) => {
    await t.page.evaluate(() => document.activeElement?.blur());
    let reached = false;
    for (let i = 0; i < 40 && !reached; ++i) {
        await t.page.keyboard.press("Tab");
        reached = await t.page.evaluate(() => document.activeElement?.id === "board");
    }
    if (!reached) fail("Tab never reaches the board");
    const name = await t.page.$eval("#board", (e) => [e.getAttribute("role"), e.ariaLabel]);
    if (name.join() !== "application,Chess board") fail(`the board is named ${name}`);
    const said = () => t.text("square-said");
    if ((await said()) !== "e2, white pawn") fail(`the board's cursor starts as "${await said()}"`);
    await t.page.keyboard.press("Enter");
    if (!(await said()).startsWith("Pawn on e2 picked up: it can go to e3, e4"))
        fail(`picking up the e-pawn reads "${await said()}"`);
    await t.page.keyboard.press("ArrowUp");
    await t.page.keyboard.press("ArrowUp");
    if ((await said()) !== "e4, empty: the pawn can go here")
        fail(`two squares up reads "${await said()}"`);
    await t.page.keyboard.press(" ");
    await t.waitForUser(StartFen);
    const first = await t.page.$eval("#moves li", (li) => li.children[1].textContent);
    if (first !== "e4") fail(`Enter on e4 played ${first}`);
    // Left from the a-file stays there; a square with the other side's piece says so.
    for (let i = 0; i < 6; ++i) await t.page.keyboard.press("ArrowLeft");
    for (let i = 0; i < 3; ++i) await t.page.keyboard.press("ArrowUp");
    if ((await said()) !== "a7, black pawn") fail(`the cursor at a7 reads "${await said()}"`);
    await t.page.keyboard.press("Enter");
    if ((await said()) !== "The pawn on a7 is not yours.")
        fail(`Enter on a black pawn reads "${await said()}"`);
});

// The move box takes SAN and coordinates, castling and promotion, and refuses in plain words.
check("keyboard: a box to type moves", async (t) => {
    const type = async (text) => {
        await t.page.$eval("#move-input", (e) => (e.value = ""));
        await t.page.type("#move-input", text);
        await t.page.keyboard.press("Enter");
    };
    let fen = StartFen;
    for (const typed of ["Nf3", "g2g3", "bg2", "0-0"]) {
        const game = new Chess(fen);
        const expected = game.move(typed.replace("0-0", "O-O").replace("bg2", "Bg2"), {
            strict: false,
        });
        await type(typed);
        fen = await t.waitForUser(fen, 5000).catch(() => fail(`typing "${typed}" played nothing`));
        const last = await t.page.$eval("#moves li:last-child", (li) => li.children[1].textContent);
        if (last !== expected.san) fail(`typing "${typed}" played ${last}, not ${expected.san}`);
        if (await t.page.$eval("#move-input", (e) => e.value)) fail("the box keeps the move");
    }
    const refused = [
        ["Ke3", "No king of yours can go to e3."],
        ["e2e5", "The pawn on e2 cannot go to e5."],
        ["hello", `"hello" is not a move: type it as e4, Nf3, exd5, O-O, e8=Q or g1f3.`],
    ];
    for (const [typed, words] of refused) {
        await type(typed);
        const message = await t.text("move-message");
        if (message !== words) fail(`typing "${typed}" says "${message}", not "${words}"`);
        if ((await t.text("fen")) !== fen) fail(`typing "${typed}" changed the game`);
    }
    const promoting = "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1";
    await t.setUp(promoting);
    await t.waitForUserAt(promoting);
    await type("b7b8");
    if (
        (await t.text("move-message")) !==
        "Say what the pawn becomes: b7b8q, b7b8r, b7b8b or b7b8n."
    )
        fail(`a promotion without its piece says "${await t.text("move-message")}"`);
    await type("b8=N");
    await t.waitForUser(promoting);
    if (!(await t.text("moves")).includes("b8=N")) fail(`b8=N played ${await t.text("moves")}`);
});

// Premoves, as chessground offers them: a move of the user's while the engine thinks is played
// as soon as the engine has moved.
check("keyboard: premoves while the engine thinks", async (t) => {
    await t.newGame({ movetime: "1000" });
    await t.move("e2", "e4");
    await t.waitForThinking();
    await t.move("g1", "f3"); // no reply of Black's can stop it
    await t.page.waitForFunction(() => document.querySelectorAll("#moves .move").length >= 3, {
        timeout: 5000,
    });
    const third = await t.page.$eval("#moves li:nth-child(2)", (li) => li.children[1].textContent);
    if (third !== "Nf3") fail(`the premove Nf3 was played as ${third}`);
    await t.page.waitForFunction(() => document.querySelectorAll("#moves .move").length === 4, {
        timeout: 5000,
    });
});

// Changing the side or the clocks, a new game, a set-up or an import: a game in progress is
// dropped only once the user agrees.
check("fault: a game in progress is not thrown away without asking", async (t) => {
    await t.move("e2", "e4");
    let fen = await t.waitForUser(StartFen);
    await t.move("d2", "d4");
    fen = await t.waitForUser(fen);
    const moves = await t.text("moves");
    const kept = async (what) => {
        if ((await t.text("moves")) !== moves || (await t.text("fen")) !== fen)
            fail(`${what} changed the game to "${await t.text("moves")}"`);
    };
    // Choosing in the dialog and turning back changes nothing.
    await t.page.click("#new");
    await t.page.select("#side", "b");
    await t.page.select("#clock", "180+2");
    await t.page.click("#cancel-new");
    await kept("choosing Black and 3+2, then Cancel,");
    for (const [what, start] of [
        ["a new game as Black", { side: "b" }],
        ["a set-up", { fen: "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1" }],
        ["an import", { pgn: "1. d4 d5" }],
    ]) {
        const asked = await t.newGame({ ...start, agree: false });
        if (!asked) fail(`${what} in the middle of a game did not ask`);
        await kept(`${what}, turned down,`);
    }
    await t.closeDialog();
    if (!(await t.newGame({ side: "b", clock: "" }))) fail("a new game did not ask");
    await t.waitForUser(StartFen);
});

// The evaluation bar and the engine's view come back after a reload as they were.
check("fault: the evaluation bar survives a reload", async (t) => {
    const fen = "rnb1kbnr/pppppppp/8/8/8/8/8/4K3 w kq - 0 1";
    await t.setUp(fen);
    await t.waitForUserAt(fen);
    await t.move("e1", "d2");
    await t.waitForUser(fen);
    const shown = () =>
        t.page.evaluate(() => [
            document.querySelector("#evalbar .label").textContent,
            document.getElementById("score").textContent,
        ]);
    const before = await shown();
    await t.page.reload();
    await t.page.waitForFunction(
        () => document.getElementById("status").textContent === "Your move.",
    );
    const after = await shown();
    if (after.join() !== before.join() || !before[0])
        fail(`the bar and score read ${before}, after a reload ${after}`);
});

// Copy PGN says so for a moment, beside the status line, which keeps the game's result.
check("fault: Copy PGN keeps the result", async (t) => {
    const fen = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
    await t.setUp(fen);
    await t.waitForUserAt(fen);
    await t.move("a1", "a8");
    await t.waitForOver();
    // Every text the notice shows is kept, as a loaded machine may take longer than the notice's
    // two seconds between the click and a look at the page.
    await t.watch("notice");
    await t.copiedPgn();
    if ((await t.text("status")) !== "Checkmate: White wins.")
        fail(`after Copy PGN the status reads "${await t.text("status")}"`);
    if (!(await t.shown("notice")).includes("PGN copied."))
        fail("Copy PGN does not say it has copied");
    await t.page
        .waitForFunction(() => !document.getElementById("notice").textContent, { timeout: 3000 })
        .catch(() => fail(`"PGN copied." still shows after 3 s`));
});

// On a phone the game is under the board: the engine's clock, the move list, the analysis, the
// status, the move box, the user's clock and the buttons, all on the screen and in that order
// under a board across the screen; the coordinates cover no piece, the board either way round.
check(
    "fault: phone: the game beside the board",
    async (t) => {
        await t.move("e2", "e4");
        await t.waitForUser(StartFen);
        await t.page.click("#analyse");
        await allInView(t.page, [...Playing, "analysis"], "on a phone with analysis on");
        await inOrder(t.page, true, 330, "on a phone");
        for (const flipped of [false, true]) {
            if (flipped) await t.page.click("#flip");
            const overlapped = await t.page.evaluate(() => {
                const piece = (key) =>
                    [...document.querySelectorAll("#board piece")]
                        .find((p) => p.cgKey === key)
                        .getBoundingClientRect();
                const overlaps = (a, b) =>
                    a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
                const coords = [...document.querySelectorAll("#board coord")].map((c) =>
                    c.getBoundingClientRect(),
                );
                return ["a1", "h8"].filter((k) => coords.some((c) => overlaps(c, piece(k))));
            });
            if (overlapped.length)
                fail(`the square labels overlap the pieces on ${overlapped}, flipped: ${flipped}`);
        }
    },
    { viewport: Phone },
);

// At 1280x800 a long game's move list and everything else that matters in a game stay above the
// fold with analysis on, in order beside a board as tall as the window allows.
check(
    "fault: desktop: the move list above the fold",
    async (t) => {
        await t.importPgn(LongGame);
        await t.page.waitForFunction(() => document.querySelectorAll("#moves li").length > 10);
        // Pressed from the page's script: on a page that overflows, a mouse's click could land
        // on what covers the button, and the check would fail waiting rather than saying where.
        await t.page.$eval("#analyse", (button) => button.click());
        await t.page.waitForFunction(() => document.querySelectorAll("#analysis-lines li").length);
        await allInView(t.page, [...Playing, "analysis"], "at 1280x800 with analysis on");
        await inOrder(t.page, false, 700, "at 1280x800");
    },
    { viewport: Desktop },
);

// Analysis is on again after a reload, as the user left it.
check("fault: analysis stays on over a reload", async (t) => {
    await t.page.click("#analyse");
    await t.page.reload();
    await t.page
        .waitForFunction(() => document.querySelectorAll("#analysis-lines li").length, {
            timeout: 5000,
        })
        .catch(() => {});
    if ((await t.page.$eval("#analyse", (e) => e.getAttribute("aria-pressed"))) !== "true")
        fail("after a reload analysis is off");
    if (!(await t.page.$$eval("#analysis-lines li", (l) => l.length)))
        fail("after a reload the analysis shows no lines");
});

// A game that has ended, by mate or by a draw, cannot be taken back.
check("fault: no take back after the game's end", async (t) => {
    for (const [fen, from, to] of [
        ["6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1", "a8"],
        ["k7/8/1K6/8/8/8/8/2Q5 w - - 0 1", "c1", "c7"],
    ]) {
        await t.setUp(fen);
        await t.waitForUserAt(fen);
        await t.move(from, to);
        await t.waitForOver();
        if (!(await t.page.$eval("#undo", (e) => e.disabled)))
            fail(`Take back is enabled after "${await t.text("status")}"`);
    }
});

// Take back returns the clocks to the times they showed in the position it returns to, give or
// take the moment the page takes to show them.
check("fault: take back restores the clocks", async (t) => {
    await t.chooseClocks("10+0");
    await t.move("e2", "e4");
    const fen = await t.waitForUser(StartFen);
    const seconds = (text) => {
        const [minutes, rest] = text.split(":");
        return Number(minutes) * 60 + Number(rest);
    };
    const clocks = async () => [await t.text("clock-bottom"), await t.text("clock-top")];
    const then = await clocks();
    await sleep(1200);
    await t.move("d2", "d4");
    await t.waitForUser(fen);
    const later = await clocks();
    await t.page.click("#undo");
    const now = await clocks();
    // The user's clock was running when `then` was read, a moment after the position arose,
    // by as long as a loaded machine took to show it: it returns to at least that time.
    const near =
        seconds(now[0]) >= seconds(then[0]) - 0.15 &&
        seconds(now[0]) <= 10 &&
        Math.abs(seconds(now[1]) - seconds(then[1])) < 0.3;
    if (!near || seconds(later[0]) > seconds(then[0]) - 1)
        fail(`take back shows clocks ${now}, not ${then} as they were (they had come to ${later})`);
});

// The user's clock waits for their first move, and the engine's for its first.
check("fault: the clock waits for the first move", async (t) => {
    await t.chooseClocks("60+0");
    await sleep(1200);
    const clock = await t.text("clock-bottom");
    if (clock !== "1:00") fail(`before the user's first move their clock reads ${clock}`);
    if (await t.page.$eval("#clock-bottom", (e) => e.classList.contains("running")))
        fail("the user's clock runs before their first move");
});

// An imported game with a result is over: its result stands, the board takes no move, its
// players keep their names, White at the foot, and it may be reviewed.
check("fault: an imported finished game stays finished", async (t) => {
    await t.importPgn(
        '[White "Anderssen"]\n[Black "Kieseritzky"]\n[Result "1-0"]\n\n1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 1-0',
    );
    await t.waitForOver(3000).catch(() => {});
    if (!(await t.over()))
        fail(`the imported game won by White plays on: "${await t.text("status")}"`);
    if ((await t.text("result")) !== "1-0 · White won, as the game records.")
        fail(`the imported game's result reads "${await t.text("result")}"`);
    const fen = await t.text("fen");
    await t.move("h5", "f7");
    await sleep(300);
    if ((await t.text("fen")) !== fen) fail("a move was played on in the finished game");
    if (await t.page.$eval("#review-game", (e) => e.disabled)) fail("the game cannot be reviewed");
    const bars = await t.page.$$eval(".player-name", (names) => names.map((n) => n.textContent));
    if (bars.join() !== "Kieseritzky,Anderssen" || (await t.orientation()) !== "white")
        fail(`the finished game shows ${bars} with ${await t.orientation()} at the foot`);
    const pgn = await t.copiedPgn();
    if (!pgn.includes('[White "Anderssen"]') || !pgn.includes('[Black "Kieseritzky"]'))
        fail(`the finished game's PGN names its players otherwise:\n${pgn}`);
});
