// A small UCI match runner: plays games between two UCI engines under a real clock
// (base + increment) or a fixed time per move, checks every move with chess.js, reports
// illegal moves, time forfeits, crashes and hangs, and gives engine1's score with its Elo.
//
//   node match.mjs --engine1 PATH [--engine2 PATH] [--games N] [--base SECONDS] [--inc SECONDS]
//                  [--movetime MS] [--option1 NAME=VALUE]... [--option2 NAME=VALUE]...
//                  [--openings FILE] [--adjudicate 1] [--ponder 1] [--maxplies N]
//                  [--record FILE] [--nodraws 1] [--chess960 1] [--seed N]
//
// Games are played in pairs: each opening once with either engine as white. The openings are
// the balanced lines below, or FILE's lines (moves in UCI notation from the start position),
// taken in order. --option1/--option2 send "setoption" to that engine once, before the first
// game, and may be given several times. With --movetime the engines get "go movetime MS" and
// an answer later than MS + 1000 ms counts as a time forfeit. With --adjudicate, a game ends
// as match runners commonly end hopeless games: when both engines have reported a score of at
// least 600 cp for the same side for 6 plies in a row (a win), or when from ply 68 on both
// have reported scores within 20 cp of zero for 16 plies in a row (a draw). With --record, every finished game is appended to FILE as one
// line: the result, then the moves in UCI notation. With --ponder (clock games only), both
// engines get "setoption name Ponder value true" and think on the opponent's time: after a
// "bestmove M ponder P" the engine searches "go ponder" on the position after P, and gets
// "ponderhit" if the opponent plays P (its clock runs from then) or "stop" if not. With
// --nodraws, repetitions, the
// fifty-move rule and bare material do not end a game, which gives long games for testing.
// With --chess960, both engines get "setoption name UCI_Chess960 value true" and each pair of
// games starts from a Chess960 position drawn at random (from --seed, by default a fixed one),
// sent as "position fen ... moves ..."; castling is the king taking its own rook ("e1h1"), and
// lichess's chessops checks the moves, as chess.js knows no Chess960.
import { spawn } from "node:child_process";
import { appendFileSync, readFileSync } from "node:fs";
import { Chess } from "chess.js";
import { Chess as Chess960Position } from "chessops/chess";
import { makeFen, parseFen } from "chessops/fen";
import { parseUci } from "chessops/util";

// Every "--name value" pair; a name given more than once keeps all its values.
const args = {};
const lists = {};
for (let i = 2; i < process.argv.length; i++) {
  const word = process.argv[i];
  if (!word.startsWith("--")) continue;
  const name = word.slice(2);
  const value = process.argv[++i];
  args[name] = value;
  (lists[name] ??= []).push(value);
}
const engines = [args.engine1, args.engine2 ?? args.engine1];
const options = [lists.option1 ?? [], lists.option2 ?? []];
const games = Number(args.games ?? 10);
const baseMs = Number(args.base ?? 5) * 1000;
const incMs = Number(args.inc ?? 0.05) * 1000;
const moveTimeMs = args.movetime ? Number(args.movetime) : 0;
const maxPlies = Number(args.maxplies ?? 400);
const adjudicate = Boolean(args.adjudicate);
const ponder = Boolean(args.ponder) && !moveTimeMs;
const chess960 = Boolean(args.chess960);

// Short main lines of well-known openings, all close to equal.
const BuiltInOpenings = [
  "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
  "e2e4 e7e5 g1f3 b8c6 f1c4 f8c5",
  "e2e4 e7e5 g1f3 g8f6 f3e5 d7d6",
  "e2e4 e7e5 b1c3 g8f6 f2f4 d7d5",
  "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4",
  "e2e4 c7c5 g1f3 b8c6 d2d4 c5d4",
  "e2e4 c7c5 b1c3 b8c6 g2g3 g7g6",
  "e2e4 c7c5 c2c3 g8f6 e4e5 f6d5",
  "e2e4 e7e6 d2d4 d7d5 b1c3 g8f6",
  "e2e4 e7e6 d2d4 d7d5 e4e5 c7c5",
  "e2e4 c7c6 d2d4 d7d5 e4e5 c8f5",
  "e2e4 c7c6 d2d4 d7d5 b1c3 d5e4",
  "e2e4 d7d6 d2d4 g8f6 b1c3 g7g6",
  "e2e4 g7g6 d2d4 f8g7 b1c3 d7d6",
  "e2e4 d7d5 e4d5 d8d5 b1c3 d5a5",
  "e2e4 g8f6 e4e5 f6d5 d2d4 d7d6",
  "d2d4 d7d5 c2c4 e7e6 b1c3 g8f6",
  "d2d4 d7d5 c2c4 c7c6 g1f3 g8f6",
  "d2d4 d7d5 c2c4 d5c4 g1f3 g8f6",
  "d2d4 g8f6 c2c4 e7e6 b1c3 f8b4",
  "d2d4 g8f6 c2c4 e7e6 g1f3 b7b6",
  "d2d4 g8f6 c2c4 g7g6 b1c3 f8g7",
  "d2d4 g8f6 c2c4 g7g6 b1c3 d7d5",
  "d2d4 g8f6 c2c4 c7c5 d4d5 e7e6",
  "d2d4 g8f6 g1f3 e7e6 c1g5 h7h6",
  "d2d4 d7d5 g1f3 g8f6 c1f4 e7e6",
  "d2d4 f7f5 g2g3 g8f6 f1g2 e7e6",
  "c2c4 e7e5 b1c3 g8f6 g1f3 b8c6",
  "c2c4 c7c5 g1f3 g8f6 b1c3 b8c6",
  "c2c4 g8f6 b1c3 e7e6 e2e4 d7d5",
  "g1f3 d7d5 g2g3 g8f6 f1g2 e7e6",
  "g1f3 g8f6 c2c4 b7b6 g2g3 c8b7",
  "e2e4 e7e5 g1f3 b8c6 d2d4 e5d4",
  "e2e4 e7e5 f1c4 g8f6 d2d3 c7c6",
  "e2e4 c7c5 g1f3 e7e6 d2d4 c5d4",
  "e2e4 c7c5 g1f3 g7g6 d2d4 c5d4",
  "d2d4 e7e6 c2c4 f8b4 c1d2 d8e7",
  "c2c4 e7e6 b1c3 d7d5 d2d4 f8e7",
  "g2g3 d7d5 f1g2 g8f6 g1f3 c7c6",
  "b2b3 e7e5 c1b2 b8c6 e2e3 g8f6",
];

function loadOpenings() {
  const lines = args.openings
    ? readFileSync(args.openings, "utf8")
        .split("\n")
        .map((line) => line.trim())
        .filter((line) => line && !line.startsWith("#"))
    : BuiltInOpenings;
  for (const line of lines) {
    const chess = new Chess();
    for (const move of line.split(/\s+/)) {
      try {
        chess.move({
          from: move.slice(0, 2),
          to: move.slice(2, 4),
          promotion: move[4],
        });
      } catch {
        console.log(`opening not legal: ${line}`);
        process.exit(2);
      }
    }
  }
  return lines.map((line) => line.split(/\s+/));
}
// The Chess960 start position numbered n (0..959), as FEN: bishops on opposite colours, the
// queen and the knights on the squares left, then rook, king, rook in order.
function chess960Fen(n) {
  const rank = Array(8).fill(null);
  const free = () => rank.map((p, i) => (p ? -1 : i)).filter((i) => i >= 0);
  rank[2 * (n % 4) + 1] = "b";
  n = Math.floor(n / 4);
  rank[2 * (n % 4)] = "b";
  n = Math.floor(n / 4);
  rank[free()[n % 6]] = "q";
  n = Math.floor(n / 6);
  const knights = [
    [0, 1],
    [0, 2],
    [0, 3],
    [0, 4],
    [1, 2],
    [1, 3],
    [1, 4],
    [2, 3],
    [2, 4],
    [3, 4],
  ][n];
  const before = free();
  for (const k of knights) rank[before[k]] = "n";
  const [a, k, h] = free();
  rank[a] = "r";
  rank[k] = "k";
  rank[h] = "r";
  const black = rank.join("");
  return `${black}/pppppppp/8/8/8/8/PPPPPPPP/${black.toUpperCase()} w KQkq - 0 1`;
}

// A small generator with a seed of its own, so that a match draws the same positions again.
function seededRandom(seed) {
  let state = seed >>> 0 || 1;
  return () => {
    state ^= state << 13;
    state ^= state >>> 17;
    state ^= state << 5;
    return (state >>> 0) / 4294967296;
  };
}

const openings = chess960 ? [] : loadOpenings();
const draw960 = seededRandom(Number(args.seed ?? 20261208));
const starts960 = Array.from({ length: Math.ceil(games / 2) }, () =>
  chess960Fen(Math.floor(draw960() * 960)),
);

// A Chess960 game under the rules chessops knows, with the draws of the game as chess.js
// gives them for standard chess: stalemate, bare material, threefold repetition, fifty moves.
class Chess960Game {
  constructor(fen) {
    this.position = Chess960Position.fromSetup(parseFen(fen).unwrap()).unwrap();
    this.seen = new Map();
    this.count();
  }
  count() {
    const key = makeFen(this.position.toSetup())
      .split(" ")
      .slice(0, 4)
      .join(" ");
    this.seen.set(key, (this.seen.get(key) ?? 0) + 1);
    this.repeated = this.seen.get(key) >= 3;
  }
  play(uci) {
    const move = parseUci(uci);
    if (!move || !this.position.isLegal(move)) return false;
    this.position.play(move);
    this.count();
    return true;
  }
  turn() {
    return this.position.turn === "white" ? "w" : "b";
  }
  isCheckmate() {
    return this.position.isCheckmate();
  }
  isStalemate() {
    return this.position.isStalemate();
  }
  isGameOver() {
    return (
      this.position.isEnd() || this.repeated || this.position.halfmoves >= 100
    );
  }
}

function startEngine(path) {
  const child = spawn(path, [], { stdio: ["pipe", "pipe", "pipe"] });
  const engine = {
    child,
    lines: [],
    waiters: [],
    exited: null,
    buffer: "",
    score: null,
    pondering: null, // the opponent's move this engine ponders on, or null
  };
  child.stdout.on("data", (data) => {
    engine.buffer += data.toString();
    let end;
    while ((end = engine.buffer.indexOf("\n")) >= 0) {
      const line = engine.buffer.slice(0, end).replace(/\r$/, "");
      engine.buffer = engine.buffer.slice(end + 1);
      engine.lines.push(line);
      engine.waiters.splice(0).forEach((wake) => wake());
    }
  });
  child.on("exit", (code, signal) => {
    engine.exited = signal ?? code;
    engine.waiters.splice(0).forEach((wake) => wake());
  });
  child.stdin.on("error", () => {});
  return engine;
}

const send = (engine, line) => engine.child.stdin.write(line + "\n");

// The score of an info line, from the side to move, with mates as +-100000; null if none.
function infoScore(line) {
  const match = / score (cp|mate) (-?\d+)/.exec(line);
  if (!match) return null;
  const value = Number(match[2]);
  return match[1] === "cp" ? value : value > 0 ? 100000 : -100000;
}

// Waits for a line starting with `prefix`, noting the last score reported on the way;
// resolves null on exit or timeout.
function waitFor(engine, prefix, timeoutMs) {
  return new Promise((resolve) => {
    const deadline = Date.now() + timeoutMs;
    const check = () => {
      while (engine.lines.length) {
        const line = engine.lines.shift();
        if (line.startsWith("info"))
          engine.score = infoScore(line) ?? engine.score;
        if (line.startsWith(prefix)) return resolve(line);
      }
      if (engine.exited !== null) return resolve(null);
      const left = deadline - Date.now();
      if (left <= 0) return resolve(null);
      const timer = setTimeout(check, left);
      engine.waiters.push(() => {
        clearTimeout(timer);
        check();
      });
    };
    check();
  });
}

// The adjudicated result, if the scores of the last plies (from white's side) decide one.
function adjudication(whiteScores, plies) {
  const last = (n) => whiteScores.slice(-n);
  if (whiteScores.length >= 6) {
    if (last(6).every((s) => s !== null && s >= 600)) return "1-0";
    if (last(6).every((s) => s !== null && s <= -600)) return "0-1";
  }
  if (plies >= 68 && whiteScores.length >= 16)
    if (last(16).every((s) => s !== null && Math.abs(s) <= 20))
      return "1/2-1/2";
  return null;
}

async function playGame(opening, white, black, startFen) {
  const chess = startFen ? new Chess960Game(startFen) : new Chess();
  const clock = [baseMs, baseMs];
  const moves = [];
  for (const move of opening) {
    chess.move({
      from: move.slice(0, 2),
      to: move.slice(2, 4),
      promotion: move[4],
    });
    moves.push(move);
  }
  const positionCommand = (line) =>
    (startFen
      ? `position fen ${startFen} moves `
      : "position startpos moves ") + line.join(" ");
  for (const engine of [white, black]) {
    send(engine, "ucinewgame");
    send(engine, "isready");
    if (!(await waitFor(engine, "readyok", 5000)))
      return { result: "hang", detail: "isready" };
  }
  const over = () =>
    args.nodraws
      ? chess.isCheckmate() || chess.isStalemate()
      : chess.isGameOver();
  const whiteScores = [];
  let adjudicated = null;
  const goClock = () =>
    `wtime ${clock[0]} btime ${clock[1]} winc ${incMs} binc ${incMs}`;
  while (!over() && moves.length < maxPlies && !adjudicated) {
    const side = chess.turn() === "w" ? 0 : 1;
    const engine = side === 0 ? white : black;
    let hit = false;
    if (engine.pondering !== null) {
      hit = engine.pondering === moves[moves.length - 1];
      engine.pondering = null;
      if (!hit) {
        // A ponder miss: the engine answers at once, and that answer is dropped.
        send(engine, "stop");
        if (!(await waitFor(engine, "bestmove", 5000)))
          return {
            result: "hang",
            side,
            detail: "stop after a ponder miss",
            moves,
          };
      }
    }
    const start = Date.now();
    engine.score = null;
    if (hit) {
      send(engine, "ponderhit");
    } else {
      send(engine, positionCommand(moves));
      send(
        engine,
        moveTimeMs ? `go movetime ${moveTimeMs}` : `go ${goClock()}`,
      );
    }
    const allowed = moveTimeMs ? moveTimeMs + 1000 : clock[side];
    const answer = await waitFor(engine, "bestmove", allowed + 5000);
    const used = Date.now() - start;
    if (answer === null)
      return { result: engine.exited !== null ? "crash" : "hang", side, moves };
    if (used > allowed) return { result: "time forfeit", side, used, moves };
    if (!moveTimeMs) clock[side] += incMs - used;
    const text = answer.split(" ")[1];
    let move = null;
    try {
      move = startFen
        ? chess.play(text)
        : chess.move({
            from: text.slice(0, 2),
            to: text.slice(2, 4),
            promotion: text[4],
          });
    } catch {
      move = null;
    }
    if (!move) return { result: "illegal move", side, move: text, moves };
    moves.push(text);
    const expected = answer.split(" ")[3];
    if (ponder && expected && answer.split(" ")[2] === "ponder" && !over()) {
      send(engine, positionCommand([...moves, expected]));
      send(engine, `go ponder ${goClock()}`);
      engine.pondering = expected;
    }
    const score =
      engine.score === null ? null : side === 0 ? engine.score : -engine.score;
    whiteScores.push(score);
    if (adjudicate) adjudicated = adjudication(whiteScores, moves.length);
  }
  // An engine still pondering when the game ends is stopped, its answer dropped.
  for (const engine of [white, black]) {
    if (engine.pondering === null) continue;
    engine.pondering = null;
    send(engine, "stop");
    if (!(await waitFor(engine, "bestmove", 5000)))
      return { result: "hang", detail: "stop at the end of the game", moves };
  }
  let result = "1/2-1/2",
    reason = "draw";
  if (chess.isCheckmate()) {
    result = chess.turn() === "w" ? "0-1" : "1-0";
    reason = "mate";
  } else if (adjudicated) {
    result = adjudicated;
    reason = "adjudicated";
  } else if (moves.length >= maxPlies) {
    reason = "ply limit";
  }
  return { result, plies: moves.length, reason, moves };
}

// Engine1's score with the Elo difference and its 95% interval, from the games' own spread.
function eloReport(wins, losses, draws) {
  const n = wins + losses + draws;
  const p = (wins + draws / 2) / n;
  const variance =
    (wins * (1 - p) ** 2 + draws * (0.5 - p) ** 2 + losses * (0 - p) ** 2) /
    n /
    n;
  const elo = (q) =>
    -400 * Math.log10(1 / Math.min(Math.max(q, 1e-6), 1 - 1e-6) - 1);
  const margin = 1.96 * Math.sqrt(variance);
  const low = elo(p - margin),
    high = elo(p + margin);
  return (
    `score ${(p * 100).toFixed(1)}% (${wins + draws / 2}/${n}), ` +
    `Elo ${elo(p).toFixed(1)} +- ${((high - low) / 2).toFixed(1)} ` +
    `(95%: ${low.toFixed(1)} to ${high.toFixed(1)})`
  );
}

const pair = [startEngine(engines[0]), startEngine(engines[1])];
for (const [i, engine] of pair.entries()) {
  send(engine, "uci");
  if (!(await waitFor(engine, "uciok", 5000))) {
    console.log(`engine ${i + 1} did not answer uci`);
    process.exit(1);
  }
  if (ponder) send(engine, "setoption name Ponder value true");
  if (chess960) send(engine, "setoption name UCI_Chess960 value true");
  for (const option of options[i]) {
    const [name, value] = option.split("=");
    send(
      engine,
      `setoption name ${name}` + (value === undefined ? "" : ` value ${value}`),
    );
  }
}
let failures = 0;
const tally = { wins: 0, losses: 0, draws: 0 };
for (let g = 0; g < games; g++) {
  // Game 2k and 2k + 1 play the same opening with the colours swapped.
  const firstIsWhite = g % 2 === 0;
  const [white, black] = firstIsWhite ? pair : [pair[1], pair[0]];
  const opening = chess960 ? [] : openings[Math.floor(g / 2) % openings.length];
  const outcome = await playGame(
    opening,
    white,
    black,
    chess960 ? starts960[g >> 1] : null,
  );
  if (!["1-0", "0-1", "1/2-1/2"].includes(outcome.result)) {
    failures++;
    console.log(`game ${g + 1}: FAILURE ${JSON.stringify(outcome)}`);
    break;
  }
  const firstScore = { "1-0": 1, "0-1": 0, "1/2-1/2": 0.5 }[outcome.result];
  const forFirst = firstIsWhite ? firstScore : 1 - firstScore;
  if (forFirst === 1) tally.wins++;
  else if (forFirst === 0) tally.losses++;
  else tally.draws++;
  if (args.record)
    appendFileSync(
      args.record,
      `${outcome.result} ${chess960 ? starts960[g >> 1] + " moves " : ""}` +
        `${outcome.moves.join(" ")}\n`,
    );
  console.log(
    `game ${g + 1}: ${outcome.result} (${outcome.reason}, ${outcome.plies} plies; ` +
      `engine1 ${firstIsWhite ? "white" : "black"})`,
  );
}
for (const engine of pair) send(engine, "quit");
const played = tally.wins + tally.losses + tally.draws;
console.log(
  `games ${played}, engine1 wins ${tally.wins}, losses ${tally.losses}, draws ${tally.draws}, ` +
    `failures ${failures}`,
);
if (played)
  console.log(`engine1: ${eloReport(tally.wins, tally.losses, tally.draws)}`);
process.exit(failures ? 1 : 0);
