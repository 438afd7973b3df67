// The evaluation bar beside the board: how the engine's latest score shares the game out
// between the sides, the user's share filling from the user's end, with the score from the
// user's side written at that end ("+0.4", "−1.2", "0.0" when level, "M3" for a mate of the
// user's in 3).

// The share of White's side for a score in centipawns, 0 to 1: a logistic curve, about 0.68 for
// a pawn up and 0.95 for a rook up.
function whiteShare(cp) {
    return 1 / (1 + Math.exp(-0.00368 * cp));
}

export class EvalBar {
    constructor(element) {
        this.element = element;
        this.fill = document.createElement("div");
        this.fill.className = "fill";
        this.label = document.createElement("span");
        this.label.className = "label";
        element.append(this.fill, this.label);
        this.show(null, "w", "w");
    }

    // Shows `score` (White's view, as engine.js's whiteView gives it, or null for none) for a
    // user playing `userColor` ("w" or "b"), on a board with `bottom` ("w" or "b") at the
    // bottom: the bar's bottom is the user's end when the user's pieces are there.
    show(score, userColor, bottom) {
        const user = userColor === "w" ? 1 : -1;
        let share = 0.5, // the user's
            text = "";
        if (score?.mate !== undefined) {
            const userWins = score.winner === userColor;
            share = userWins ? 1 : 0;
            text = `${userWins ? "" : "−"}${score.mate ? "M" + score.mate : "#"}`;
        } else if (score) {
            const cp = score.cp * user;
            share = whiteShare(cp);
            const pawns = (Math.abs(cp) / 100).toFixed(Math.abs(cp) < 1000 ? 1 : 0);
            // A score that rounds to nought is level, for neither side: "0.0", not "−0.0".
            const sign = Number(pawns) === 0 ? "" : cp < 0 ? "−" : "+";
            text = sign + pawns;
        }
        const userAtBottom = bottom === userColor;
        this.element.classList.toggle("user-at-top", !userAtBottom);
        this.element.classList.toggle("user-black", userColor === "b");
        this.fill.style.height = `${(share * 100).toFixed(1)}%`;
        this.label.textContent = text;
        this.element.title = text ? `The engine's evaluation for you: ${text}` : "";
        this.element.setAttribute("aria-label", this.element.title || "No evaluation yet");
    }
}
