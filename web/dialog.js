// The New game dialog: the side, the level, the time control (a preset, or minutes and seconds
// a move of the user's own), the engine's time per move when there are no clocks, and where the
// game starts: the usual position, a position set up from FEN, or a game imported as PGN. The
// choices are remembered for the next game; the game being played keeps its own.
const $ = (id) => document.getElementById(id);

export class NewGameDialog {
    // Each of onStart(settings), onSetUp(text, settings) and onImport(text, settings) starts a
    // game and returns { started: true }, or { error } to show beside the box, or {} when the
    // user chose to keep the game in progress. `settings` is { side, level, movetime, control }.
    constructor({ onStart, onSetUp, onImport }) {
        this.dialog = $("new-game");
        const act = (message, start) => {
            const outcome = start(this.settings());
            if (message) $(message).textContent = outcome.error ?? "";
            if (outcome.started) this.dialog.close();
        };
        $("new-game-form").onsubmit = (event) => {
            event.preventDefault();
            act(null, onStart);
        };
        $("set-fen").onclick = () => act("setup-message", (s) => onSetUp($("fen-input").value, s));
        $("load-pgn").onclick = () =>
            act("import-message", (s) => onImport($("pgn-input").value, s));
        // Enter in the FEN box sets the position up, rather than starting from the usual one.
        $("fen-input").addEventListener("keydown", (event) => {
            if (event.key !== "Enter") return;
            event.preventDefault();
            $("set-fen").click();
        });
        $("fen-input").oninput = () => ($("setup-message").textContent = "");
        $("pgn-input").oninput = () => ($("import-message").textContent = "");
        $("cancel-new").onclick = () => this.dialog.close();
        $("clock").addEventListener("change", () => this.showFields());
    }

    // Opens the dialog; `note` says what starting a game does to the one in progress, if any.
    open(note) {
        $("start-note").textContent = note;
        this.showFields();
        this.dialog.showModal();
    }

    // The custom time control's boxes show when it is chosen, and the engine's time per move
    // only without clocks.
    showFields() {
        $("custom-control").hidden = $("clock").value !== "custom";
        $("movetime-field").hidden = $("clock").value !== "";
    }

    // The time control chosen, as a game keeps it and PGN writes it: "180+2", or "" for none.
    control() {
        const value = $("clock").value;
        if (value !== "custom") return value;
        const minutes = Math.min(180, Math.max(0.5, Number($("custom-minutes").value) || 5));
        const increment = Math.min(
            60,
            Math.max(0, Math.round(Number($("custom-increment").value) || 0)),
        );
        return `${Math.round(minutes * 60)}+${increment}`;
    }

    settings() {
        return {
            side: $("side").value,
            level: $("level").value,
            movetime: $("movetime").value,
            control: this.control(),
        };
    }
}
