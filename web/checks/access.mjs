// An automated accessibility check: axe-core over the page as it plays, with the New game
// dialog open, and with a game reviewed, in the light theme and the dark. No serious or critical
// finding may stand.
import { createRequire } from "node:module";
import { Desktop, check, fail } from "./helpers.mjs";

const axe = createRequire(import.meta.url).resolve("axe-core/axe.min.js");

// axe's serious and critical findings on the page as it is: ["rule: element, ..."].
async function findings(page) {
    if (!(await page.evaluate(() => Boolean(window.axe)))) await page.addScriptTag({ path: axe });
    const violations = await page.evaluate(async () => {
        const { violations } = await window.axe.run(document, { resultTypes: ["violations"] });
        return violations
            .filter((v) => v.impact === "serious" || v.impact === "critical")
            .map(
                (v) =>
                    `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(" ")).join(", ")}`,
            );
    });
    return violations;
}

check(
    "accessibility: axe finds nothing serious, light and dark",
    async (t) => {
        const found = [];
        const look = async (view) => {
            for (const theme of ["light", "dark"]) {
                await t.page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: theme }]);
                for (const finding of await findings(t.page))
                    found.push(`${view}, ${theme}: ${finding}`);
            }
        };
        await t.move("e2", "e4");
        await t.waitForUser("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
        await look("playing");
        await t.page.click("#new");
        await t.page.$$eval("#new-game details", (all) => all.forEach((d) => (d.open = true)));
        await look("the New game dialog");
        await t.importPgn("1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0");
        await t.page.click("#review-game");
        await t.page.waitForFunction(() => document.getElementById("review-running").hidden, {
            timeout: 15000,
        });
        await t.page.click("[data-ply='6']");
        await look("a reviewed game");
        if (found.length) fail(`axe finds:\n${found.join("\n")}`);
    },
    { viewport: Desktop },
);
