// The board: chessground shows the game and lets the user move the pieces of their side.
import { Chessground } from "chessground";
import { colorName } from "./game.js";

const PromotionPieces = [
    ["q", "queen"],
    ["r", "rook"],
    ["b", "bishop"],
    ["n", "knight"],
];

export class Board {
    // onMove(from, to) when the user has moved a piece. `picker` is the element that offers
    // the pieces a pawn can become; it lies over the board.
    constructor(element, picker, onMove) {
        this.ground = Chessground(element, {
            movable: { free: false, showDests: true, events: { after: onMove } },
            animation: { duration: 150 },
        });
        this.picker = picker;
        this.choose = null; // settles the open promotion choice
        for (const [letter, role] of PromotionPieces) {
            const button = document.createElement("button");
            button.dataset.piece = letter;
            button.setAttribute("aria-label", role);
            button.title = role[0].toUpperCase() + role.slice(1);
            button.append(document.createElement("piece"));
            button.onclick = (event) => {
                event.stopPropagation();
                this.closePicker(letter);
            };
            picker.append(button);
        }
        picker.onclick = () => this.closePicker(null); // beside the pieces: no promotion
        // Escape turns the move down; Tab, Enter and Space keep their work of choosing a piece.
        picker.addEventListener("keydown", (event) => {
            if (event.key === "Escape") this.closePicker(null);
        });
    }

    // Asks which piece a pawn of `color` ("w" or "b") becomes; resolves to "q", "r", "b" or
    // "n", or to null if the user turns the move down.
    askPromotion(color) {
        this.closePicker(null);
        for (const piece of this.picker.querySelectorAll("piece")) {
            const role = PromotionPieces.find(([l]) => l === piece.parentNode.dataset.piece)[1];
            piece.className = `${role} ${colorName(color)}`;
        }
        this.picker.hidden = false;
        this.picker.querySelector("button").focus();
        return new Promise((resolve) => (this.choose = resolve));
    }

    closePicker(choice) {
        this.picker.hidden = true;
        const choose = this.choose;
        this.choose = null;
        if (choose) choose(choice);
    }

    // Shows the game; the user's pieces move only when `userCanMove`. A promotion choice still
    // open belongs to a position no longer shown, and closes.
    show(game, userCanMove) {
        this.closePicker(null);
        // The board may have moved down the page since, with a clock shown above it: chessground
        // measures it afresh rather than take clicks for the squares where it stood.
        this.ground.state.dom.bounds.clear();
        if (game.fen !== this.shownFen) this.arrows([]); // they were for another position
        this.shownFen = game.fen;
        const last = game.lastMove();
        this.ground.set({
            fen: game.fen,
            turnColor: colorName(game.turn),
            check: game.chess.inCheck(),
            lastMove: last ? [last.from, last.to] : undefined,
            movable: {
                color: userCanMove ? colorName(game.userColor) : undefined,
                dests: userCanMove ? game.destinations() : new Map(),
            },
        });
    }

    // Draws arrows, [{ uci: "e2e4", brush: "green" }], over the position shown; [] clears them.
    arrows(list) {
        this.ground.setAutoShapes(
            list
                .filter((a) => a.uci)
                .map((a) => ({ orig: a.uci.slice(0, 2), dest: a.uci.slice(2, 4), brush: a.brush })),
        );
    }

    orient(color) {
        this.ground.set({ orientation: colorName(color) });
    }

    // The colour at the bottom, "w" or "b".
    get orientation() {
        return this.ground.state.orientation[0];
    }

    flip() {
        this.ground.toggleOrientation();
    }
}
