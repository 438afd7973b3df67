// Takes the README's pictures of the page in headless Chromium: a game reviewed, at 1280x800,
// and a game against the clock on a phone, 390x844. They go to web/screenshot-desktop.png and
// web/screenshot-phone.png.
//   node web/screenshots.mjs      (after web/build.sh)
import puppeteer from "puppeteer-core";
import { serve } from "./serve.mjs";

// The Opera game, Paris 1858: White wins with a queen sacrifice.
const Opera =
    '[White "Paul Morphy"]\n[Black "Duke Karl / Count Isouard"]\n[Result "1-0"]\n\n' +
    "1. e4 e5 2. Nf3 d6 3. d4 Bg4 4. dxe5 Bxf3 5. Qxf3 dxe5 6. Bc4 Nf6 7. Qb3 Qe7 8. Nc3 c6 9. Bg5 b5 10. Nxb5 cxb5 11. Bxb5+ Nbd7 12. O-O-O Rd8 13. Rxd7 Rxd7 14. Rd1 Qe6 15. Bxd7+ Nxd7 16. Qb8+ Nxb8 17. Rd8# 1-0";
// A Najdorf Sicilian, White to move.
const Najdorf = "1. e4 c5 2. Nf3 d6 3. d4 cxd4 4. Nxd4 Nf6 5. Nc3 a6 *";

const server = await serve(0);
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu"],
});
const url = `http://127.0.0.1:${server.address().port}/`;

// A fresh page at `viewport` with `pgn` imported, the dialog's choices set by `choose`.
async function pageWith(viewport, pgn, choose) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.setViewport(viewport);
    await page.goto(url);
    await page.waitForFunction(
        () => document.getElementById("status").textContent === "Your move.",
    );
    await page.click("#new");
    await choose(page);
    await page.$eval("#import-box", (e) => (e.open = true));
    await page.$eval("#pgn-input", (e, pgn) => (e.value = pgn), pgn);
    await page.click("#load-pgn");
    return page;
}

try {
    const desktop = await pageWith({ width: 1280, height: 800 }, Opera, async () => {});
    await desktop.click("#review-game");
    await desktop.waitForFunction(() => document.getElementById("review-running").hidden, {
        timeout: 60000,
    });
    // The first move the review marks, with the engine's move as an arrow.
    await desktop.$eval("#moves .judgement", (mark) => mark.parentNode.click());
    await new Promise((resolve) => setTimeout(resolve, 800)); // the pieces slide there
    await desktop.screenshot({ path: new URL("screenshot-desktop.png", import.meta.url).pathname });

    const phone = await pageWith(
        { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 },
        Najdorf,
        (page) => page.select("#clock", "300+3"),
    );
    await phone.waitForFunction(() => document.getElementById("opening").textContent);
    await phone.type("#move-input", "Be3");
    await phone.keyboard.press("Enter");
    await phone.waitForFunction(
        () =>
            document.querySelectorAll("#moves .move").length === 12 &&
            document.getElementById("status").textContent === "Your move.",
        { timeout: 30000 },
    );
    await new Promise((resolve) => setTimeout(resolve, 1500)); // the user's clock runs a little
    await phone.evaluate(() => {
        document.activeElement.blur();
        scrollTo(0, 0);
    });
    await phone.screenshot({ path: new URL("screenshot-phone.png", import.meta.url).pathname });
} finally {
    await browser.close();
    server.close();
}
