#!/usr/bin/env python3
"""Sends many 'go' commands with mixed clocks to a UCI engine through pipes and checks that
every answer arrives before the mover's clock would run out.

usage: tools/clockcheck.py ENGINE [COUNT]

Clocks range from 50 ms to 10 s, with increments up to three times the clock and some
'movestogo 1'. Each answer is timed from writing the 'go' line to reading 'bestmove'. The
last line gives the worst margin; the exit status is 1 if any answer was late."""
import random
import subprocess
import sys
import time

POSITIONS = [
    "startpos",
    "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "fen r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R b KQkq - 4 4",
    "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
]


def main():
    engine = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(20261207)
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                            bufsize=1)

    def send(line):
        proc.stdin.write(line + "\n")
        proc.stdin.flush()

    def read_until(prefix):
        while True:
            line = proc.stdout.readline()
            if not line:
                sys.exit("the engine ended")
            if line.startswith(prefix):
                return line.strip()

    send("uci")
    read_until("uciok")
    worst, late = None, 0
    for i in range(count):
        position = POSITIONS[i % len(POSITIONS)]
        mytime = int(10 ** rng.uniform(1.7, 4.0))  # 50 ms to 10 s
        inc = rng.choice([0, 0, 10, mytime // 2, mytime, 2 * mytime, 3 * mytime, 2000])
        mtg = rng.choice(["", "", "", " movestogo 1", " movestogo 5"])
        send("position " + position)
        send("isready")
        read_until("readyok")
        black = " b " in position
        clocks = (f"wtime {rng.randint(50, 10000)} btime {mytime} winc 0 binc {inc}" if black else
                  f"wtime {mytime} btime {rng.randint(50, 10000)} winc {inc} binc 0")
        start = time.monotonic()
        send("go " + clocks + mtg)
        answer = read_until("bestmove")
        took = (time.monotonic() - start) * 1000
        margin = mytime - took
        late += margin < 0
        if worst is None or margin < worst[0]:
            worst = (margin, took, mytime, clocks + mtg)
        print(f"{i + 1:3d} mover {mytime:5d} ms  took {took:7.1f} ms  margin {margin:7.1f}  "
              f"{answer}  go {clocks}{mtg}", flush=True)
    send("quit")
    proc.wait()
    print(f"{count} answers, {late} late; worst margin {worst[0]:.1f} ms "
          f"(took {worst[1]:.1f} of {worst[2]} ms: go {worst[3]})")
    sys.exit(1 if late else 0)


if __name__ == "__main__":
    main()
