// The page's sounds: a move, a capture, a check and the end of a game, short WAV files made by
// sounds/make.sh. The Sound switch turns them off. The body names the last sound played and
// counts them (data-last-sound, data-sound-count), for a browser test that cannot listen.
const Names = ["move", "capture", "check", "end"];
const sounds = new Map(Names.map((name) => [name, new Audio(`sounds/${name}.wav`)]));

function play(name) {
    if (!document.getElementById("sound").checked) return;
    const audio = sounds.get(name);
    audio.currentTime = 0;
    // A browser may refuse to play before the user has touched the page: the game goes on.
    audio.play().catch(() => {});
    const body = document.body.dataset;
    body.lastSound = name;
    body.soundCount = Number(body.soundCount ?? 0) + 1;
}

let heard = { game: null, plies: 0, over: "" }; // the game as the last sounds left it

// Plays what has happened in `game` since the last call: the sound of a move just made, or of
// the game's end. A new game, a take back or a game brought in makes no sound.
export function soundChanges(game) {
    const plies = game.history().length;
    const over = game.overText();
    if (heard.game === game) {
        const move = game.lastMove();
        if (over && !heard.over) play("end");
        else if (plies === heard.plies + 1)
            play(game.chess.inCheck() ? "check" : move.captured ? "capture" : "move");
    }
    heard = { game, plies, over };
}
