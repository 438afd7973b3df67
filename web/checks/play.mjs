// Playing games: whole games, take back, set-up, promotion, the PGN, the levels, resigning,
// clocks, a reload, and importing a game.
import { Chess } from "chess.js";
import {
    StartFen,
    check,
    checkEngineMove,
    fail,
    LongGame,
    pvMoves,
    randomMoves,
    ScorePattern,
    sleep,
} from "./helpers.mjs";

// Whole games as white and as black with random legal moves for the user: every engine move
// must be legal, the engine's view must show and make sense, take back and new game must work.
for (const color of ["w", "b"])
    check(`plays a whole game as ${color === "w" ? "white" : "black"}`, async (t) => {
        const random = randomMoves(color === "w" ? 20261207 : 20261209);
        let fen = StartFen;
        if (color === "b") {
            await t.newGame({ side: "b" });
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
            if (moves >= 1 && !tookBack && !(await t.over())) {
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
        await t.newGame({ side: "w" });
        if ((await t.text("fen")) !== StartFen) fail("new game did not start afresh");
    });

// Take back always leaves the side to move able to move: the user, whose pieces then move, or
// the engine, which then thinks and answers.
check("take back leaves the game playable", async (t) => {
    // As black: the engine opens, and take back returns to the start with the engine to move.
    await t.newGame({ side: "b" });
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
    const setup = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 3 3";
    await t.setUp(setup, { side: "w" });
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

// The move list scrolls vertically and keeps the last move in view, however long the game: a
// game of twenty moves imported, and one move more each side.
check("move list scrolls and shows the last move", async (t) => {
    await t.importPgn(LongGame);
    const fen = await t.waitForUser(StartFen);
    const move = new Chess(fen).moves({ verbose: true }).find((m) => m.piece === "k");
    await t.move(move.from, move.to);
    await t.waitForUser(fen);
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
        '[Black "Sorvane (full strength, 0.05 s per move)"]',
        '[Result "1-0"]',
        `[Date "${date}"]`,
        '[Termination "normal"]',
        `[FEN "${fen}"]`,
    ])
        if (!pgn.includes(tag)) fail(`the PGN lacks ${tag}:\n${pgn}`);
    if (!/Ra8#.*1-0\s*$/s.test(pgn)) fail(`the PGN's moves do not end in 1-0:\n${pgn}`);

    // The engine mates as white.
    const mate = "k7/8/1K6/8/8/8/8/7R w - - 0 1";
    await t.setUp(mate, { side: "b" });
    await t.waitForOver();
    const lost = await t.copiedPgn();
    for (const tag of [
        '[White "Sorvane (full strength, 0.05 s per move)"]',
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
    // The engine's last search: the options in force for it, each as last sent to the worker
    // that ran it (an option is sent only when it changes), then its "go".
    const lastSearch = () =>
        t.page.evaluate(() => {
            const sent = window.engineSent;
            const go = sent.findLastIndex((l) => l.startsWith("go "));
            const worker = sent.lastIndexOf("uci", go);
            const options = new Map();
            for (const line of sent.slice(worker, go))
                if (line.startsWith("setoption name ")) options.set(line.split(" value ")[0], line);
            return [...options.values(), sent[go]];
        });
    // A game at the lowest level: the engine is told it, the player's bar and the PGN name it.
    await t.newGame({ level: String(min) });
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
    const bar = await t.page.$eval("#player-top", (e) => e.textContent.trim());
    if (bar !== `Sorvane · Beginner (${min})`) fail(`the engine's bar reads "${bar}"`);
    // The level chosen for the next game leaves the game in progress as it is.
    await t.page.click("#new");
    await t.page.select("#level", "full");
    await t.page.click("#cancel-new");
    const game = new Chess(fen);
    const move = game.moves({ verbose: true })[0];
    await t.move(move.from, move.to);
    fen = await t.waitForUser(fen);
    if (!(await lastSearch()).includes(`setoption name UCI_Elo value ${min}`))
        fail(`a level chosen for the next game changed this one: ${await lastSearch()}`);

    await t.newGame({ level: "full" });
    await t.move("e2", "e4");
    await t.waitForUser(StartFen);
    if (!(await lastSearch()).includes("setoption name UCI_LimitStrength value false"))
        fail(`the engine's search at full strength was ${await lastSearch()}`);
    const pgn = await t.copiedPgn();
    if (!pgn.includes(`[Black "Sorvane (full strength, 0.05 s per move)"]`))
        fail(`the PGN names the engine as in:\n${pgn}`);

    // A level against the clocks: the engine gets the level and both clocks, and the PGN names
    // the level and the time control.
    await t.chooseClocks("180+2", { level: String(min) });
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
    // Neither clock ran before both sides had moved.
    if (top.text !== "0:02.0") fail(`the engine's clock shows "${top.text}" after its first move`);
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
    const bare = "4k3/8/8/8/8/8/8/R3K3 w - - 0 1";
    await t.setUp(bare, { clock: "0.5+0" });
    await t.waitForUserAt(bare);
    await t.move("a1", "a2");
    await t.waitForOver(3000);
    const drawn = "Draw: White's time ran out, and Black cannot mate.";
    if ((await t.text("result")) !== `½-½ · ${drawn}`)
        fail(`the flag's result is "${await t.text("result")}"`);
});

// The game in progress, its clocks and the settings survive a reload; stored values the page
// cannot read are ignored.
check("the game and settings survive a reload", async (t) => {
    const lowest = await t.page.$eval("#level", (e) => e.options[0].value);
    await t.newGame({ level: lowest, clock: "20+0", side: "b", movetime: "500" });
    const fen = await t.waitForUser(StartFen);
    const moves = await t.text("moves");
    const engineClock = await t.text("clock-top");
    await t.page.reload();
    await t.waitForUserAt(fen, 10000, "after a reload");
    if ((await t.text("moves")) !== moves)
        fail(`after a reload the moves are "${await t.text("moves")}"`);
    if ((await t.orientation()) !== "black") fail("after a reload the user no longer plays black");
    await t.page.click("#first");
    if (
        (await t.text("fen")) !== StartFen ||
        !(await t.text("looking-back")).startsWith("Looking back")
    )
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
    if (settings !== `b ${lowest} 500`)
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

// A time control of the user's own, minutes and seconds a move, from the New game dialog: the
// clocks start from it, the engine gets its increment, and the PGN records it.
check("a custom time control", async (t) => {
    await t.page.click("#new");
    // The lowest level answers in a moment: at full strength the engine would take seconds of
    // its minute and a half.
    await t.page.select("#level", await t.page.$eval("#level", (s) => s.options[0].value));
    await t.page.select("#clock", "custom");
    if (await t.page.$eval("#custom-control", (e) => e.hidden))
        fail("choosing Custom shows no boxes for the minutes and the increment");
    for (const [id, value] of [
        ["custom-minutes", "1.5"],
        ["custom-increment", "4"],
    ]) {
        await t.page.$eval(`#${id}`, (e) => (e.value = ""));
        await t.page.type(`#${id}`, value);
    }
    await t.page.click("#start");
    if ((await t.text("clock-bottom")) !== "1:30")
        fail(`the clock starts at ${await t.text("clock-bottom")}`);
    await t.move("e2", "e4");
    await t.waitForUser(StartFen);
    const go = await t.page.evaluate(() => window.engineSent.findLast((c) => c.startsWith("go")));
    if (!/^go wtime \d+ btime \d+ winc 4000 binc 4000$/.test(go))
        fail(`the engine was sent "${go}"`);
    const pgn = await t.copiedPgn();
    if (!pgn.includes('[TimeControl "90+4"]') || !pgn.includes("90 s+4)"))
        fail(`the PGN of a 1.5+4 game reads:\n${pgn}`);
});
