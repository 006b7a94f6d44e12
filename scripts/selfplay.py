#!/usr/bin/env python3
"""Tolvane against Tolvane through the xboard protocol, with real clocks.

Two programs, each in force mode except for the "go" that asks for its move; the script keeps
both clocks, sends "time"/"otim" before every move, relays the moves and checks that the other
program accepts each one. It reports wins, draws, losses, illegal moves, time losses and crashes.

    scripts/selfplay.py build/release/tolvane --games 20 --level "0 0:02 0.1"
    scripts/selfplay.py build/release/tolvane --games 4 --level "40 1 0"
    scripts/selfplay.py build/release/tolvane --games 4 --st 1
"""
import argparse
import os
import select
import subprocess
import sys
import tempfile
import time

OPENINGS = [
    [], ["e2e4", "e7e5"], ["d2d4", "d7d5"], ["c2c4", "e7e5"], ["e2e4", "c7c5"],
    ["d2d4", "g8f6", "c2c4", "e7e6"], ["e2e4", "e7e6", "d2d4", "d7d5"], ["g1f3", "d7d5"],
    ["e2e4", "c7c6", "d2d4", "d7d5"], ["b2b3", "e7e5"],
]
RESULTS = ("1-0 {", "0-1 {", "1/2-1/2 {")


class Engine:
    def __init__(self, binary, name):
        self.name = name
        self.dir = tempfile.mkdtemp(prefix="tolvane_selfplay_")
        self.proc = subprocess.Popen([os.path.abspath(binary)], cwd=self.dir, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, bufsize=0)
        self.pending = b""
        self.ping = 0

    def send(self, line):
        try:
            self.proc.stdin.write((line + "\n").encode())
            self.proc.stdin.flush()
        except BrokenPipeError:
            pass

    def line(self, timeout):
        """The next line, or None at the end of output or after timeout seconds."""
        deadline = time.monotonic() + timeout
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.proc.stdout], [], [], left)
            if not ready:
                return None
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                return None
            self.pending += chunk
        text, self.pending = self.pending.split(b"\n", 1)
        return text.decode(errors="replace")

    def sync(self, timeout=60):
        """Lines printed before the answer to a fresh ping."""
        self.ping += 1
        self.send("ping %d" % self.ping)
        lines = []
        while True:
            line = self.line(timeout)
            if line is None:
                lines.append("<no answer>")
                return lines
            if line == "pong %d" % self.ping:
                return lines
            lines.append(line)

    def close(self):
        self.send("quit")
        try:
            code = self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = -9
        subprocess.run(["rm", "-rf", self.dir])
        return code


def bad(line):
    return line.startswith("Illegal") or line.startswith("Error") or line == "<no answer>"


def play(binary, opening, white_first_engine, args):
    engines = [Engine(binary, "A"), Engine(binary, "B")]
    if not white_first_engine:
        engines.reverse()  # engines[0] plays White
    problems = []
    for e in engines:
        e.send("xboard")
        e.send("protover 2")
        e.send("new")
        e.send("force")
        if args.st:
            e.send("st %d" % args.st)
        else:
            e.send("level " + args.level)
        for m in opening:
            e.send(m)
        problems += ["%s setup: %s" % (e.name, l) for l in e.sync() if bad(l)]
    moves, inc, base = 0, 0.0, 0.0
    if not args.st:
        mps, base_text, inc_text = args.level.split()
        parts = [float(p) for p in base_text.split(":")]
        base = parts[0] * 60 + (parts[1] if len(parts) > 1 else 0)
        inc = float(inc_text)
    clock = [base, base]
    mover = len(opening) % 2
    last = opening[-1] if opening else None
    result, time_loss, plies, last_by = None, None, len(opening), None
    while result is None and plies < args.max_plies:
        e = engines[mover]
        e.send("force")
        if last and plies > len(opening):
            e.send(last)
        if not args.st:
            e.send("time %d" % max(1, int(clock[mover] * 100)))
            e.send("otim %d" % max(1, int(clock[1 - mover] * 100)))
        start = time.monotonic()
        e.send("go")
        move = None
        while True:
            line = e.line(max(60, clock[mover] * 3 + 60))
            if line is None:
                problems.append("%s: no move (crash or hang)" % e.name)
                break
            if bad(line):
                problems.append("%s: %s" % (e.name, line))
            if line.startswith("move "):
                move = line[5:].strip()
                break
        elapsed = time.monotonic() - start
        if move is None:
            break
        if args.st:
            if elapsed > args.st + 1.0:
                time_loss = "%s took %.2f s on st %d" % (e.name, elapsed, args.st)
        else:
            clock[mover] -= elapsed
            if clock[mover] < 0:
                time_loss = "%s lost on time (%.2f s over)" % (e.name, -clock[mover])
            clock[mover] += inc
        for l in e.sync():
            if l.startswith(RESULTS):
                result = l
            if bad(l):
                problems.append("%s: %s" % (e.name, l))
        last, last_by = move, mover
        plies += 1
        mover = 1 - mover
        if time_loss:
            break
    if last_by is not None:
        other = engines[1 - last_by]
        other.send("force")
        other.send(last)
        problems += ["%s last move: %s" % (other.name, l) for l in other.sync() if bad(l)]
    for e in engines:
        code = e.close()
        if code != 0:
            problems.append("%s exit status %d" % (e.name, code))
    return result, time_loss, problems, plies, engines[0].name


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("binary")
    parser.add_argument("--games", type=int, default=20)
    parser.add_argument("--level", default="0 0:02 0.1",
                        help="as xboard sends it: moves, base minutes (or m:ss), increment seconds")
    parser.add_argument("--st", type=int, default=0, help="seconds per move instead of a level")
    parser.add_argument("--max-plies", type=int, default=400)
    args = parser.parse_args()
    score = {"A": 0.0, "B": 0.0}
    tally = {"white wins": 0, "black wins": 0, "draws": 0, "unfinished": 0}
    illegal = time_losses = crashes = 0
    for g in range(args.games):
        opening = OPENINGS[(g // 2) % len(OPENINGS)]
        result, time_loss, problems, plies, white = play(args.binary, opening, g % 2 == 0, args)
        black = "B" if white == "A" else "A"
        if result is None:
            tally["unfinished"] += 1
        elif result.startswith("1-0"):
            tally["white wins"] += 1
            score[white] += 1
        elif result.startswith("0-1"):
            tally["black wins"] += 1
            score[black] += 1
        else:
            tally["draws"] += 1
            score[white] += 0.5
            score[black] += 0.5
        illegal += sum(1 for p in problems if "Illegal" in p)
        crashes += sum(1 for p in problems if "crash" in p or "exit status" in p or "no answer" in p)
        time_losses += 1 if time_loss else 0
        print("game %2d: %s-%s %3d plies  %s%s%s" % (
            g + 1, white, black, plies, result or "(no result)",
            "  TIME: " + time_loss if time_loss else "",
            "".join("\n    " + p for p in problems)), flush=True)
    print("white wins %(white wins)d, black wins %(black wins)d, draws %(draws)d, unfinished "
          "%(unfinished)d" % tally)
    print("points: A %.1f, B %.1f" % (score["A"], score["B"]))
    print("illegal moves %d, time losses %d, crashes or hangs %d" % (illegal, time_losses, crashes))
    return 0 if illegal == 0 and time_losses == 0 and crashes == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
