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

// Sounds what changes.js found: the game's end, or else the move just made.
export function soundChanges({ move, ended }) {
    if (ended) play("end");
    else if (move) play(/[+#]$/.test(move.san) ? "check" : move.captured ? "capture" : "move");
}
