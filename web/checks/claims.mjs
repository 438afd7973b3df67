// Draws by the rules the engine does not keep: threefold repetition and the fifty-move rule are
// the user's to claim, fivefold repetition and the seventy-five-move rule end the game at once.
import { check, fail } from "./helpers.mjs";

const Shuffle = ["Nf3 Nf6", "Ng1 Ng8"];
// The knights' dance from the start, `n` moves each side.
const dance = (n) => Array.from({ length: n }, (_, i) => `${i + 1}. ${Shuffle[i % 2]}`).join(" ");

check(
    "draws: threefold and fifty moves claimed, fivefold and seventy-five automatic",
    async (t) => {
        const claim = () => t.page.$eval("#claim", (e) => (e.hidden ? "" : e.textContent));
        // The start a third time: the user may claim, and the game goes on until they do.
        await t.importPgn(`${dance(4)} *`);
        await t.page
            .waitForFunction(() => !document.getElementById("claim").hidden, { timeout: 3000 })
            .catch(() => {});
        if ((await claim()) !== "Claim a draw: threefold repetition")
            fail(`the start a third time offers "${await claim()}"`);
        if ((await t.text("status")) !== "Your move.") fail("threefold repetition ended the game");
        await t.page.click("#claim");
        const claimed = "Draw by threefold repetition, claimed by White.";
        if ((await t.text("result")) !== `½-½ · ${claimed}`)
            fail(`the claim's result reads "${await t.text("result")}"`);
        const pgn = await t.copiedPgn();
        if (!pgn.includes('[Result "1/2-1/2"]') || !pgn.includes(claimed))
            fail(`the claimed draw's PGN:\n${pgn}`);

        // The start a fifth time, by the user's move: drawn at once.
        await t.importPgn(`${dance(7)} 8. Ng1 *`);
        await t.page.waitForFunction(
            () => document.getElementById("status").textContent === "Your move.",
        );
        await t.move("f6", "g8");
        await t.waitForOver(3000).catch(() => {});
        if ((await t.text("status")) !== "Draw by fivefold repetition.")
            fail(`the start a fifth time reads "${await t.text("status")}"`);

        // Fifty moves without a capture or a pawn move, then seventy-five.
        const fifty = "4k3/8/8/8/8/8/8/R3K3 w - - 99 60";
        await t.setUp(fifty, { side: "w" });
        await t.waitForUserAt(fifty);
        if (await claim()) fail(`after 99 half-moves the page offers "${await claim()}"`);
        await t.move("a1", "a2");
        await t.waitForUser(fifty);
        if ((await claim()) !== "Claim a draw: fifty moves")
            fail(`after fifty moves the page offers "${await claim()}"`);
        if (await t.over()) fail("fifty moves ended the game");
        const seventyFive = "4k3/8/8/8/8/8/8/R3K3 w - - 149 100";
        await t.setUp(seventyFive);
        await t.waitForUserAt(seventyFive);
        await t.move("a1", "a2");
        await t.waitForOver(3000).catch(() => {});
        if ((await t.text("status")) !== "Draw by the seventy-five-move rule.")
            fail(`the seventy-fifth move reads "${await t.text("status")}"`);
    },
);
