// Words that come and go over the foot of the page, such as "PGN copied.": they show for two
// seconds and are read out, and leave the status line to the game.
const ShownMs = 2000;
let timer = 0;

export function notify(text) {
    const notice = document.getElementById("notice");
    notice.textContent = text;
    clearTimeout(timer);
    timer = setTimeout(() => (notice.textContent = ""), ShownMs);
}
