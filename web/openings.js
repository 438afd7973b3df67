// Opening names: the ECO code and name of the positions a game passes through, from the table
// the build writes (openings-data.mjs), which loads after the page; until it has, no name shows.
let table = null; // EPD → [ECO, name]

// Loads the table; onLoad() once it is there.
export async function loadOpenings(onLoad) {
    try {
        const response = await fetch("openings.json");
        table = response.ok ? await response.json() : {};
    } catch {
        table = {}; // the page plays on without names
    }
    onLoad();
}

// The FEN's first four fields: the pieces, the side to move, castling and en passant.
const epd = (fen) => fen.split(" ").slice(0, 4).join(" ");

// The opening of `game` as far as its first `ply` moves, { eco, name }: that of the last named
// position among them, or null if none has a name.
export function openingOf(game, ply = Infinity) {
    if (!table) return null;
    const fens = [
        game.startFen,
        ...game
            .history()
            .slice(0, ply)
            .map((m) => m.after),
    ];
    for (let i = fens.length - 1; i >= 0; --i) {
        const found = table[epd(fens[i])];
        if (found) return { eco: found[0], name: found[1] };
    }
    return null;
}
