// The board: chessground shows the game and lets the user move the pieces of their side.
import { Chessground } from "chessground";
import { colorName } from "./game.js";

export class Board {
    // onMove(from, to) when the user has moved a piece.
    constructor(element, onMove) {
        this.ground = Chessground(element, {
            movable: { free: false, showDests: true, events: { after: onMove } },
            animation: { duration: 150 },
        });
    }

    // Shows the game; the user's pieces move only when `userCanMove`.
    show(game, userCanMove) {
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

    orient(color) {
        this.ground.set({ orientation: colorName(color) });
    }

    flip() {
        this.ground.toggleOrientation();
    }
}
