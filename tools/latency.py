#!/usr/bin/env python3
"""Times how fast a UCI engine answers 'isready' and 'stop' while it searches.

usage: tools/latency.py ENGINE [THREADS] [COUNT]

Each round sets up a middlegame, sends 'go movetime 10000' (or, every other round,
'go infinite'), waits 200 to 800 ms, sends 'isready' and times the 'readyok', waits again and
sends 'stop', timing the 'bestmove'. The last lines give the median and the worst of each, in
milliseconds from writing the command to reading the answer; the exit status is 1 if any
answer took 50 ms or more."""
import random
import statistics
import subprocess
import sys
import time

POSITIONS = [
    "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "startpos moves e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6",
]
LIMIT_MS = 50


def main():
    engine = sys.argv[1]
    threads = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    rng = random.Random(20261208)
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                            bufsize=1)

    def send(line):
        proc.stdin.write(line + "\n")
        proc.stdin.flush()
        return time.monotonic()

    def read_until(prefix):
        while True:
            line = proc.stdout.readline()
            if not line:
                sys.exit("the engine ended")
            if line.startswith(prefix):
                return time.monotonic()

    send("uci")
    read_until("uciok")
    send(f"setoption name Threads value {threads}")
    ready, stop = [], []
    for i in range(count):
        send("position " + POSITIONS[i % len(POSITIONS)])
        send("isready")
        read_until("readyok")
        send("go infinite" if i % 2 else "go movetime 10000")
        time.sleep(rng.uniform(0.2, 0.8))
        sent = send("isready")
        ready.append((read_until("readyok") - sent) * 1000)
        time.sleep(rng.uniform(0.2, 0.8))
        sent = send("stop")
        stop.append((read_until("bestmove") - sent) * 1000)
        print(f"{i + 1:3d}  readyok {ready[-1]:6.1f} ms  bestmove {stop[-1]:6.1f} ms", flush=True)
    send("quit")
    proc.wait()
    for name, times in (("isready", ready), ("stop", stop)):
        print(f"{name}: median {statistics.median(times):.1f} ms, worst {max(times):.1f} ms "
              f"over {count}")
    sys.exit(1 if max(ready + stop) >= LIMIT_MS else 0)


if __name__ == "__main__":
    main()
