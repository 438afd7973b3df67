// The board: chessground shows the game and lets the user move the pieces of their side, and
// premove them while the engine thinks, as chessground offers; arrows of several kinds (a hint,
// the analysis's lines, the review's best move) lie over it, and a square may be marked as the
// keyboard's cursor.
import { Chessground } from "chessground";
import { colorName } from "./game.js";

const PromotionPieces = [
    ["q", "queen"],
    ["r", "rook"],
    ["b", "bishop"],
    ["n", "knight"],
];

export class Board {
    // onMove(from, to, premove) when the user has moved a piece, `premove` true for a premove
    // played as the engine's move came. `picker` is the element that offers the pieces a pawn
    // can become; it lies over the board.
    constructor(element, picker, onMove) {
        this.ground = Chessground(element, {
            coordinates: true,
            movable: {
                free: false,
                showDests: true,
                events: { after: (from, to, meta) => onMove(from, to, Boolean(meta?.premove)) },
            },
            premovable: { enabled: true, showDests: true, castle: true },
            // The board's size as chessground draws it, whole device pixels a square, for the
            // evaluation bar beside it.
            addDimensionsCssVarsTo: document.body,
            // No sliding pieces for those who ask the system for less motion.
            animation: {
                duration: matchMedia("(prefers-reduced-motion: reduce)").matches ? 0 : 150,
            },
        });
        this.shapes = {}; // the arrows of each kind, { hint: [...], analysis: [...], ... }
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

    // Shows the game. The user's pieces (of `userColor`) move when `canMove`, and may be
    // premoved when `canPremove`, while the engine is to move; a premove waiting is played as
    // soon as the user may move, or dropped when neither. A promotion choice still open belongs
    // to a position no longer shown, and closes.
    show(game, { userColor, canMove, canPremove }) {
        this.closePicker(null);
        // The board may have moved on the page since: chessground measures it afresh rather than
        // take clicks for the squares where it stood.
        this.ground.state.dom.bounds.clear();
        if (game.fen !== this.shownFen) this.shapes = {}; // the arrows were for another position
        this.shownFen = game.fen;
        const last = game.lastMove();
        this.ground.set({
            fen: game.fen,
            turnColor: colorName(game.turn),
            check: game.chess.inCheck(),
            lastMove: last ? [last.from, last.to] : undefined,
            movable: {
                color: canMove || canPremove ? colorName(userColor) : undefined,
                dests: canMove ? game.destinations() : new Map(),
            },
        });
        if (!canMove && !canPremove) this.ground.cancelPremove();
        else if (canMove && this.ground.state.premovable.current) this.ground.playPremove();
        this.drawArrows();
    }

    // Drops a premove waiting, as when the game changes under it.
    cancelPremove() {
        this.ground.cancelPremove();
    }

    // Sets the arrows of one kind, [{ uci: "e2e4", brush: "green" }], over the position shown;
    // [] clears them. Every kind clears when the board shows another position.
    arrows(kind, list) {
        this.shapes[kind] = list.filter((a) => a.uci);
        this.drawArrows();
    }

    drawArrows() {
        this.ground.setAutoShapes(
            Object.values(this.shapes)
                .flat()
                .map((a) => ({ orig: a.uci.slice(0, 2), dest: a.uci.slice(2, 4), brush: a.brush })),
        );
    }

    // Marks `square` as the keyboard's cursor, or none for null.
    markCursor(square) {
        this.ground.set({
            highlight: { custom: square ? new Map([[square, "cursor"]]) : new Map() },
        });
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
