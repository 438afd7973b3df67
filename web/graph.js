// The evaluation graph of a reviewed game: White's winning chance in each position, to scale from
// 0 % at the foot to 100 % at the top, one step a move, White's share in light under the line
// and Black's in dark over it; the judged moves are dots in their judgement's colour, and the
// position the board shows is a line across. A click shows that position.
import { whiteWinChance } from "./judge.js";

const Svg = "http://www.w3.org/2000/svg";

function element(name, attributes) {
    const e = document.createElementNS(Svg, name);
    for (const [key, value] of Object.entries(attributes)) e.setAttribute(key, value);
    return e;
}

export class Graph {
    // onPick(ply) when the user clicks the position after `ply` moves.
    constructor(svg, onPick) {
        this.svg = svg;
        this.plies = 1;
        svg.addEventListener("click", (event) => {
            const box = svg.getBoundingClientRect();
            const ply = Math.round(((event.clientX - box.left) / box.width) * this.plies);
            onPick(Math.max(0, Math.min(this.plies, ply)));
        });
    }

    // `review` as review.js keeps it, `judged` as judge.js gives it, `shownPly` the position
    // shown.
    show(review, judged, shownPly) {
        const plies = Math.max(1, review.moves.length);
        this.plies = plies;
        const chances = review.scores.map(whiteWinChance);
        const points = chances.map((c, i) => `${i},${(100 - c).toFixed(2)}`);
        const shapes = [
            element("rect", { class: "black-area", x: 0, y: 0, width: plies, height: 100 }),
        ];
        if (points.length)
            shapes.push(
                element("polygon", {
                    class: "white-area",
                    points: ["0,100", ...points, `${chances.length - 1},100`].join(" "),
                }),
                element("polyline", { class: "line", points: points.join(" ") }),
            );
        shapes.push(element("line", { class: "middle", x1: 0, y1: 50, x2: plies, y2: 50 }));
        judged.forEach((j, i) => {
            if (!j.judgement) return;
            const y = (100 - chances[i + 1]).toFixed(2);
            const x = i + 1;
            shapes.push(
                element("line", {
                    class: `mark judged-${j.judgement.name}`,
                    x1: x,
                    y1: y,
                    x2: x,
                    y2: y,
                }),
            );
        });
        shapes.push(element("line", { class: "here", x1: shownPly, y1: 0, x2: shownPly, y2: 100 }));
        this.svg.setAttribute("viewBox", `0 0 ${plies} 100`);
        this.svg.replaceChildren(...shapes);
        const last = chances[chances.length - 1];
        this.svg.setAttribute(
            "aria-label",
            `Graph of White's winning chance over the game${last === undefined ? "" : `, ${Math.round(last)} % at the end reviewed`}`,
        );
    }
}
