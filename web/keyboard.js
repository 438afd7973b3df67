// Playing on the board without a mouse: the board takes the focus, the arrow keys move a cursor
// over its squares as they stand on the screen, and Enter or Space picks up the piece under the
// cursor and puts it down on another square, as two clicks would (a premove while the engine
// thinks); Escape puts it back. Each step is read out: the square, what stands on it, and what
// picking up or putting down did.
const PieceNames = {
    pawn: "pawn",
    knight: "knight",
    bishop: "bishop",
    rook: "rook",
    queen: "queen",
    king: "king",
};
const Files = "abcdefgh";

export class BoardKeys {
    // `board` is board.js's Board on `element`; say(text) reads words out.
    constructor(element, board, say) {
        this.board = board;
        this.say = say;
        this.cursor = null;
        element.addEventListener("focus", () => {
            this.cursor ??= this.startSquare();
            board.markCursor(this.cursor);
            say(this.describe(this.cursor));
        });
        element.addEventListener("blur", () => board.markCursor(null));
        element.addEventListener("keydown", (event) => this.key(event));
    }

    get state() {
        return this.board.ground.state;
    }

    // The last move's square, or the king's pawn of the side at the bottom.
    startSquare() {
        const last = this.state.lastMove;
        if (last) return last[last.length - 1];
        return this.state.orientation === "white" ? "e2" : "e7";
    }

    key(event) {
        if (event.altKey || event.ctrlKey || event.metaKey) return;
        const steps = {
            ArrowUp: [0, 1],
            ArrowDown: [0, -1],
            ArrowLeft: [-1, 0],
            ArrowRight: [1, 0],
        };
        if (steps[event.key]) {
            event.preventDefault();
            // Up is towards the far side of the board as it stands on the screen.
            const sign = this.state.orientation === "white" ? 1 : -1;
            const [df, dr] = steps[event.key];
            const file = Files.indexOf(this.cursor[0]) + sign * df;
            const rank = Number(this.cursor[1]) + sign * dr;
            if (file >= 0 && file < 8 && rank >= 1 && rank <= 8) this.cursor = Files[file] + rank;
            this.board.markCursor(this.cursor);
            this.say(this.describe(this.cursor));
        } else if (event.key === "Enter" || event.key === " ") {
            event.preventDefault();
            this.act(this.cursor);
        } else if (event.key === "Escape" && this.state.selected) {
            this.board.ground.selectSquare(null);
            this.say("Put back.");
        }
    }

    // Where the piece picked up may go: its moves, or its premoves while the engine is to move.
    destinations(square) {
        const state = this.state;
        return (
            state.movable.dests?.get(square) ??
            (state.selected === square ? state.premovable.dests : null) ??
            []
        );
    }

    // "e4, white pawn", "f3, empty: the knight can go here".
    describe(square) {
        const piece = this.state.pieces.get(square);
        let words = `${square}, ${piece ? `${piece.color} ${PieceNames[piece.role]}` : "empty"}`;
        const selected = this.state.selected;
        if (selected && selected !== square && this.destinations(selected).includes(square))
            words += `: the ${PieceNames[this.state.pieces.get(selected).role]} can go here`;
        return words;
    }

    // Enter or Space on `square`: puts the piece picked up there, or picks up the piece there.
    act(square) {
        const state = this.state;
        const ground = this.board.ground;
        const selected = state.selected;
        if (selected === square) {
            ground.selectSquare(null);
            this.say("Put back.");
            return;
        }
        const piece = state.pieces.get(square);
        const mine = piece && piece.color === state.movable.color;
        if (selected && !mine) {
            const name = PieceNames[state.pieces.get(selected).role];
            if (!this.destinations(selected).includes(square)) {
                this.say(`The ${name} on ${selected} cannot go to ${square}.`);
                return;
            }
            const premove = state.turnColor !== state.movable.color;
            ground.selectSquare(square); // the move follows as a click's would
            if (premove)
                this.say(
                    `Premove: ${name} ${selected} to ${square}, played when Sorvane has moved.`,
                );
            return;
        }
        if (!piece) {
            this.say(`${square} is empty: move to one of your pieces first.`);
            return;
        }
        const name = PieceNames[piece.role];
        if (!state.movable.color) {
            this.say("You cannot move now.");
            return;
        }
        if (!mine) {
            this.say(`The ${name} on ${square} is not yours.`);
            return;
        }
        ground.selectSquare(square);
        const dests = this.destinations(square);
        if (state.selected !== square || !dests.length) {
            ground.selectSquare(null);
            this.say(`The ${name} on ${square} has no move.`);
            return;
        }
        this.say(
            `${name[0].toUpperCase() + name.slice(1)} on ${square} picked up: it can go to ${dests.join(", ")}.`,
        );
    }
}
