// Looking back over the game: the board can show any earlier position, chosen in the move
// list, with the first, previous, next and last buttons or with the arrow keys, while the game
// itself goes on. A move played from an earlier position starts a new line there.
const $ = (id) => document.getElementById(id);

export class Navigation {
    // `game()` gives the game being played; onChange() when another position is to be shown.
    constructor(game, onChange) {
        this.game = game;
        this.onChange = onChange;
        this.ply = null; // how many of the game's moves the board shows; null follows the game
        $("first").onclick = () => this.go(0);
        $("previous").onclick = () => this.go(this.shownPly() - 1);
        $("next").onclick = () => this.go(this.shownPly() + 1);
        $("last").onclick = () => this.go(Infinity);
        $("moves").onclick = (event) => {
            const ply = event.target.closest("[data-ply]")?.dataset.ply;
            if (ply) this.go(Number(ply));
        };
        const keys = {
            ArrowLeft: () => this.shownPly() - 1,
            ArrowRight: () => this.shownPly() + 1,
            Home: () => 0,
            End: () => Infinity,
        };
        document.addEventListener("keydown", (event) => {
            // Keys typed into a box or a select are theirs, and so are those on the board, where
            // they move its cursor, and in the New game dialog; a checkbox has no use for them.
            const theirs = event.target.matches(
                "input:not([type=checkbox]), select, textarea, #board, dialog *",
            );
            if (!keys[event.key] || theirs || event.altKey || event.ctrlKey || event.metaKey)
                return;
            event.preventDefault();
            this.go(keys[event.key]());
        });
    }

    shownPly() {
        return this.ply ?? this.game().history().length;
    }

    // Whether the board shows an earlier position than the game's.
    reviewing() {
        return this.ply !== null;
    }

    // Shows the position after `ply` moves; the game's latest position follows the game.
    go(ply) {
        const latest = this.game().history().length;
        const shown = Math.max(0, Math.min(ply, latest));
        const next = shown === latest ? null : shown;
        if (next === this.ply) return;
        this.ply = next;
        this.onChange();
    }

    // Back to following the game, when the game itself changes under the review.
    follow() {
        this.ply = null;
    }

    // The game as far as the board shows it.
    shownGame() {
        return this.ply === null ? this.game() : this.game().at(this.ply);
    }

    // The buttons that lead somewhere, and which position the board shows when it looks back.
    show() {
        const ply = this.shownPly(),
            latest = this.game().history().length;
        $("first").disabled = $("previous").disabled = ply === 0;
        $("next").disabled = $("last").disabled = ply === latest;
        const move = this.game().history()[ply - 1];
        const number = move && move.before.split(" ")[5];
        $("looking-back").textContent = !this.reviewing()
            ? ""
            : move
              ? `Looking back: after ${number}${move.color === "w" ? "." : "…"} ${move.san}`
              : "Looking back: the starting position";
    }
}
