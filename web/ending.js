// The end of a game on the page: the result under the move list, and which of Resign and Play
// again the user is offered.
const $ = (id) => document.getElementById(id);

// "1-0 · Checkmate: White wins.", "½-½ · Draw by stalemate.", or nothing while the game goes on.
export function showEnd(game) {
    const over = game.overText();
    const result = game.result().replace("1/2-1/2", "½-½");
    $("result").textContent = over ? `${result} · ${over}` : "";
    $("resign").disabled = Boolean(over);
    $("again").hidden = !over;
}
