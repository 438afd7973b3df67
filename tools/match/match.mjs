// A small UCI match runner: plays games between two UCI engines under a real clock
// (base + increment), checks every move with chess.js, and reports illegal moves, time
// forfeits, crashes and hangs.
//
//   node match.mjs --engine1 PATH --engine2 PATH [--games N] [--base SECONDS] [--inc SECONDS]
//                  [--maxplies N] [--record FILE] [--nodraws 1]
// With --record, every finished game is appended to FILE as one line: the result, then the
// moves in UCI notation. With --nodraws, repetitions, the fifty-move rule and bare material
// do not end a game, which gives long games for testing.
import { spawn } from "node:child_process";
import { appendFileSync } from "node:fs";
import { Chess } from "chess.js";

const args = Object.fromEntries(
  process.argv.slice(2).reduce((pairs, word, i, all) => {
    if (word.startsWith("--")) pairs.push([word.slice(2), all[i + 1]]);
    return pairs;
  }, []),
);
const engines = [args.engine1, args.engine2 ?? args.engine1];
const games = Number(args.games ?? 10);
const baseMs = Number(args.base ?? 5) * 1000;
const incMs = Number(args.inc ?? 0.05) * 1000;
const maxPlies = Number(args.maxplies ?? 400);

function startEngine(path) {
  const child = spawn(path, [], { stdio: ["pipe", "pipe", "pipe"] });
  const engine = { child, lines: [], waiters: [], exited: null, buffer: "" };
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

// Waits for a line starting with `prefix`; resolves null on exit or timeout.
function waitFor(engine, prefix, timeoutMs) {
  return new Promise((resolve) => {
    const deadline = Date.now() + timeoutMs;
    const check = () => {
      while (engine.lines.length) {
        const line = engine.lines.shift();
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

async function playGame(number, white, black) {
  const chess = new Chess();
  const clock = [baseMs, baseMs];
  const moves = [];
  for (const engine of [white, black]) {
    send(engine, "ucinewgame");
    send(engine, "isready");
    if (!(await waitFor(engine, "readyok", 5000))) return { result: "hang", detail: "isready" };
  }
  const over = () => (args.nodraws ? chess.isCheckmate() || chess.isStalemate() : chess.isGameOver());
  while (!over() && moves.length < maxPlies) {
    const side = chess.turn() === "w" ? 0 : 1;
    const engine = side === 0 ? white : black;
    send(engine, "position startpos" + (moves.length ? " moves " + moves.join(" ") : ""));
    const start = Date.now();
    send(engine, `go wtime ${clock[0]} btime ${clock[1]} winc ${incMs} binc ${incMs}`);
    const answer = await waitFor(engine, "bestmove", clock[side] + 5000);
    const used = Date.now() - start;
    if (answer === null)
      return { result: engine.exited !== null ? "crash" : "hang", side, moves: moves.join(" ") };
    clock[side] -= used;
    if (clock[side] < 0) return { result: "time forfeit", side, used, moves: moves.join(" ") };
    clock[side] += incMs;
    const text = answer.split(" ")[1];
    let move = null;
    try {
      move = chess.move({ from: text.slice(0, 2), to: text.slice(2, 4), promotion: text[4] });
    } catch {
      move = null;
    }
    if (!move) return { result: "illegal move", side, move: text, moves: moves.join(" ") };
    moves.push(text);
  }
  let result = "1/2-1/2";
  if (chess.isCheckmate()) result = chess.turn() === "w" ? "0-1" : "1-0";
  return { result, plies: moves.length, reason: chess.isCheckmate() ? "mate" : "draw", moves };
}

const pair = [startEngine(engines[0]), startEngine(engines[1])];
for (const engine of pair) {
  send(engine, "uci");
  if (!(await waitFor(engine, "uciok", 5000))) {
    console.log("engine did not answer uci");
    process.exit(1);
  }
}
let failures = 0;
const score = { "1-0": 0, "0-1": 0, "1/2-1/2": 0 };
for (let g = 0; g < games; g++) {
  const [white, black] = g % 2 === 0 ? pair : [pair[1], pair[0]];
  const outcome = await playGame(g + 1, white, black);
  if (outcome.result in score) {
    score[outcome.result]++;
    if (args.record) appendFileSync(args.record, `${outcome.result} ${outcome.moves.join(" ")}\n`);
    console.log(`game ${g + 1}: ${outcome.result} (${outcome.reason}, ${outcome.plies} plies)`);
  } else {
    failures++;
    console.log(`game ${g + 1}: FAILURE ${JSON.stringify(outcome)}`);
    break;
  }
}
for (const engine of pair) send(engine, "quit");
console.log(`games ${games}, white wins ${score["1-0"]}, black wins ${score["0-1"]}, ` +
  `draws ${score["1/2-1/2"]}, failures ${failures}`);
process.exit(failures ? 1 : 0);
