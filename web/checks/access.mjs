// An automated accessibility check: axe-core over the page as it plays, with the New game
// dialog open, and with a game reviewed, in the light theme and the dark, at 1280x800 and at a
// phone's 390x844. No serious or critical finding may stand.
import { createRequire } from "node:module";
import { Desktop, Phone, check, fail } from "./helpers.mjs";

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
        // The phone's size without its touch, which would reload the page: the layout follows
        // the window's shape.
        const sizes = [
            ["1280x800", Desktop],
            ["390x844", { width: Phone.width, height: Phone.height }],
        ];
        const look = async (view) => {
            for (const [size, viewport] of sizes) {
                await t.page.setViewport(viewport);
                for (const theme of ["light", "dark"]) {
                    await t.page.emulateMediaFeatures([
                        { name: "prefers-color-scheme", value: theme },
                        { name: "prefers-reduced-motion", value: "reduce" },
                    ]);
                    for (const finding of await findings(t.page))
                        found.push(`${view}, ${size}, ${theme}: ${finding}`);
                }
            }
            await t.page.setViewport(Desktop);
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
