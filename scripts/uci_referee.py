#!/usr/bin/env python3
"""Games between two UCI engines under a referee that keeps the clocks and checks every move.

The referee speaks UCI to both engines as an interface does: "position ... moves ...", "go" with
both clocks, and, for an engine that ponders, "go ponder" on the move it expects followed by
"ponderhit" or "stop". It keeps the clocks itself, flags an engine whose clock runs out, and
checks each move against the legal moves of a third, independent program (an oracle engine's
"go perft 1"), which also tells mate, stalemate, repetition, the fifty-move rule and bare kings.

    scripts/uci_referee.py build/release/tolvane /usr/games/toga2 --games 4 --tc 10+0.1
    scripts/uci_referee.py build/release/tolvane /usr/games/stockfish --games 4 --tc 40/20 \\
        --option2 "Skill Level=3" --option2 Threads=1 --ponder1 --chess960
    scripts/uci_referee.py build/release/tolvane /usr/games/glaurung --limit2 depth=6 --games 2

The oracle defaults to /usr/games/stockfish (Debian package stockfish). Prints one line per game
and, for each engine, its illegal moves, time losses, crashes and hangs; exits 1 if the first
engine (the one under test) had any.
"""
import argparse
import os
import random
import re
import select
import shlex
import subprocess
import sys
import tempfile
import time

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
OPENINGS = [
    [], ["e2e4", "e7e5"], ["d2d4", "d7d5"], ["c2c4", "e7e5"], ["e2e4", "c7c5"],
    ["d2d4", "g8f6", "c2c4", "e7e6"], ["e2e4", "e7e6", "d2d4", "d7d5"], ["g1f3", "d7d5"],
    ["e2e4", "c7c6", "d2d4", "d7d5"], ["b2b3", "e7e5"], ["e2e4", "e7e5", "g1f3", "b8c6", "f1b5"],
    ["d2d4", "d7d5", "c2c4", "c7c6"],
]
GRACE_S = 5.0   # beyond its clock an engine that has not answered is counted as hung
MAX_PLIES = 400


class EngineGone(Exception):
    def __init__(self, name, text):
        super().__init__(text)
        self.name = name


class Uci:
    """One engine process, spoken to line by line."""

    def __init__(self, command, name, options=(), chess960=False, folder=None):
        self.name = name
        self.dir = folder or tempfile.mkdtemp(prefix="uci_referee_")
        argv = shlex.split(command)
        argv[0] = os.path.abspath(argv[0]) if os.path.exists(argv[0]) else argv[0]
        self.proc = subprocess.Popen(argv, cwd=self.dir, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, bufsize=0)
        self.pending = b""
        self.log = []
        self.send("uci")
        self.until("uciok", 30)
        for option in options:
            name, _, value = option.partition("=")
            self.send("setoption name %s value %s" % (name, value))
        if chess960:
            self.send("setoption name UCI_Chess960 value true")
        self.ready()

    def send(self, line):
        self.log.append("> " + line)
        try:
            self.proc.stdin.write((line + "\n").encode())
            self.proc.stdin.flush()
        except (BrokenPipeError, OSError):
            raise EngineGone(self.name, self.name + " closed its input")

    def line(self, timeout):
        """The next line, None after timeout seconds; EngineGone at the end of its output."""
        deadline = time.monotonic() + timeout
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.proc.stdout], [], [], left)
            if ready:
                chunk = os.read(self.proc.stdout.fileno(), 65536)
                if not chunk:
                    raise EngineGone(self.name, self.name + " ended its output")
                self.pending += chunk
        text, self.pending = self.pending.split(b"\n", 1)
        text = text.decode(errors="replace").rstrip("\r")
        self.log.append("< " + text)
        del self.log[:-200]
        return text

    def until(self, prefix, timeout):
        """Lines up to and including the first that starts with prefix; None on timeout."""
        deadline = time.monotonic() + timeout
        lines = []
        while True:
            line = self.line(max(0.0, deadline - time.monotonic()))
            if line is None:
                return None
            lines.append(line)
            if line.startswith(prefix):
                return lines

    def ready(self):
        self.send("isready")
        if self.until("readyok", 30) is None:
            raise EngineGone(self.name, self.name + " did not answer isready")

    def close(self):
        try:
            self.send("quit")
            self.proc.wait(timeout=10)
        except (EngineGone, subprocess.TimeoutExpired):
            self.proc.kill()
        return self.proc.returncode


class Oracle(Uci):
    """The rules, from a program nobody on the team wrote."""

    def position(self, start, moves):
        self.send("position fen %s moves %s" % (start, " ".join(moves)) if moves else "position fen " + start)

    def legal_moves(self, start, moves):
        self.position(start, moves)
        self.send("go perft 1")
        lines = self.until("Nodes searched", 30)
        return {m.group(1) for m in (re.match(r"^(\S+): 1$", l) for l in lines) if m}

    def state(self, start, moves):
        """FEN and whether the side to move is in check."""
        self.position(start, moves)
        self.send("d")
        lines = self.until("Checkers:", 30)
        fen = next(l[5:] for l in lines if l.startswith("Fen: "))
        return fen, lines[-1].split(":", 1)[1].strip() != ""


def chess960_fen(number, shredder):
    """Start position number 0..959 in the usual numbering, castling in X-FEN or Shredder-FEN."""
    rank = [None] * 8
    n, b1 = divmod(number, 4)
    rank[2 * b1 + 1] = "B"
    n, b2 = divmod(n, 4)
    rank[2 * b2] = "B"
    n, q = divmod(n, 6)
    free = [i for i in range(8) if rank[i] is None]
    rank[free[q]] = "Q"
    knights = [(0, 1), (0, 2), (0, 3), (0, 4), (1, 2), (1, 3), (1, 4), (2, 3), (2, 4), (3, 4)][n]
    free = [i for i in range(8) if rank[i] is None]
    for k in knights:
        rank[free[k]] = "N"
    free = [i for i in range(8) if rank[i] is None]
    for i, piece in zip(free, "RKR"):
        rank[i] = piece
    white = "".join(rank)
    if shredder:
        files = [chr(ord("a") + i) for i in range(8) if rank[i] == "R"]
        castling = files[1].upper() + files[0].upper() + files[1] + files[0]
    else:
        castling = "KQkq"
    return "%s/pppppppp/8/8/8/8/PPPPPPPP/%s w %s - 0 1" % (white.lower(), white, castling)


def bare_kings(fen):
    pieces = [c for c in fen.split()[0] if c.isalpha() and c not in "Kk"]
    if not pieces:
        return True
    return len(pieces) == 1 and pieces[0] in "NBnb"


def parse_tc(text):
    """"40/20" (40 moves in 20 s), "10+0.1" (10 s and 0.1 s a move) or "5": ms and moves."""
    moves, _, rest = text.rpartition("/")
    base, _, inc = rest.partition("+")
    return int(float(base) * 1000), int(float(inc or 0) * 1000), int(moves or 0)


class Player:
    def __init__(self, engine, ponder, limit):
        self.engine = engine
        self.ponder = ponder
        self.limit = limit          # "depth=N" or "nodes=N": replaces the clock for this engine
        self.expecting = None       # the move it ponders on


def go_words(player, clocks, inc, moves_to_go):
    if player.limit:
        kind, _, value = player.limit.partition("=")
        return "%s %s" % (kind, value)
    words = "wtime %d btime %d winc %d binc %d" % (max(clocks[0], 0), max(clocks[1], 0), inc, inc)
    return words + (" movestogo %d" % moves_to_go if moves_to_go else "")


def count(stats, kind, name):
    stats[kind][name] = stats[kind].get(name, 0) + 1


def play(players, start, moves, oracle, tc, stats, times):
    """One game from the moves already played; players[0] has White. Returns (result, reason);
    moves gets the game's moves and times each one's milliseconds on the clock."""
    base, inc, period = tc
    clocks = [base, base]
    made = [0, 0]  # moves each side has made on the clock
    for p in players:
        p.expecting = None
        p.engine.send("ucinewgame")
        p.engine.ready()
    positions = {}

    def finish(result, reason):
        for p in players:
            if p.expecting is not None:
                p.engine.send("stop")
                p.engine.until("bestmove", GRACE_S)
                p.expecting = None
        return result, reason

    while True:
        fen, in_check = oracle.state(start, moves)
        legal = oracle.legal_moves(start, moves)
        side = 0 if fen.split()[1] == "w" else 1
        if not legal:
            return finish(("0-1" if side == 0 else "1-0") if in_check else "1/2-1/2",
                          "mate" if in_check else "stalemate")
        key = " ".join(fen.split()[:4])
        positions[key] = positions.get(key, 0) + 1
        if positions[key] >= 3:
            return finish("1/2-1/2", "repetition")
        if int(fen.split()[4]) >= 100:
            return finish("1/2-1/2", "fifty moves")
        if bare_kings(fen):
            return finish("1/2-1/2", "insufficient material")
        if len(moves) >= MAX_PLIES:
            return finish("1/2-1/2", "adjudicated after %d plies" % MAX_PLIES)

        p = players[side]
        e = p.engine
        moves_to_go = period - made[side] % period if period else 0
        position = "position fen %s moves %s" % (start, " ".join(moves)) if moves else "position fen " + start
        if p.expecting is not None and p.expecting == moves[-1]:
            e.send("ponderhit")
            stats["ponderhits"] += 1
        else:
            if p.expecting is not None:
                e.send("stop")
                stopped = time.monotonic()
                if e.until("bestmove", GRACE_S) is None:
                    count(stats, "hangs", e.name)
                    return finish("0-1" if side == 0 else "1-0", e.name + " did not answer stop")
                stats["slowest_stop_ms"] = max(stats["slowest_stop_ms"], 1000 * (time.monotonic() - stopped))
                stats["pondermisses"] += 1
            e.send(position)
            e.send("go " + go_words(p, clocks, inc, moves_to_go))
        p.expecting = None
        started = time.monotonic()
        answer = e.until("bestmove", max(clocks[side], 0) / 1000 + GRACE_S)
        used = int(1000 * (time.monotonic() - started))
        if answer is None:
            count(stats, "hangs", e.name)
            print("\n".join(e.log[-30:]), file=sys.stderr)
            return finish("0-1" if side == 0 else "1-0", "%s hung (no move %d ms after go)" % (e.name, used))
        if not p.limit:
            clocks[side] -= used
            if clocks[side] < 0:
                count(stats, "time losses", e.name)
                return finish("0-1" if side == 0 else "1-0", "%s lost on time (%d ms over)" % (e.name, -clocks[side]))
            clocks[side] += inc
            made[side] += 1
            if period and made[side] % period == 0:
                clocks[side] += base
        words = answer[-1].split()
        move = words[1] if len(words) > 1 else ""
        if move not in legal:
            count(stats, "illegal moves", e.name)
            return finish("0-1" if side == 0 else "1-0", "%s played the illegal move %s in %s" % (e.name, move, fen))
        moves.append(move)
        times.append(used)
        if p.ponder and len(words) >= 4 and words[2] == "ponder":
            p.expecting = words[3]
            e.send("position fen %s moves %s" % (start, " ".join(moves + [p.expecting])))
            e.send("go ponder " + go_words(p, clocks, inc, moves_to_go))


def gone_log(players, name):
    return [line for p in players if p.engine.name == name for line in p.engine.log[-20:]]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("engine1")
    parser.add_argument("engine2")
    parser.add_argument("--games", type=int, default=2)
    parser.add_argument("--tc", default="10+0.1", help="40/20, 10+0.1 or 5 (seconds)")
    parser.add_argument("--chess960", action="store_true")
    parser.add_argument("--shredder", action="store_true",
                        help="Chess960 castling rights always as rook files (some engines read no other)")
    parser.add_argument("--ponder1", action="store_true")
    parser.add_argument("--ponder2", action="store_true")
    parser.add_argument("--option1", action="append", default=[], help="NAME=VALUE")
    parser.add_argument("--option2", action="append", default=[], help="NAME=VALUE")
    parser.add_argument("--limit1", help="depth=N or nodes=N instead of the clock")
    parser.add_argument("--limit2", help="depth=N or nodes=N instead of the clock")
    parser.add_argument("--dir1", help="working folder of engine1 (its ini file, book, bitbases); "
                        "default: a fresh empty one")
    parser.add_argument("--dir2", help="working folder of engine2")
    parser.add_argument("--oracle", default="/usr/games/stockfish")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--log", help="file for every game's moves")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    tc = parse_tc(args.tc)
    stats = {"illegal moves": {}, "time losses": {}, "crashes": {}, "hangs": {}, "ponderhits": 0,
             "pondermisses": 0, "slowest_stop_ms": 0.0}
    score = {"1-0": 0, "0-1": 0, "1/2-1/2": 0}
    points = [0.0, 0.0]
    oracle = Oracle(args.oracle, "oracle", ["Threads=1"], args.chess960)
    log = open(args.log, "a") if args.log else None
    players = []
    folders, engine_options = [args.dir1, args.dir2], []
    for i, (command, options, ponder, limit) in enumerate(
            [(args.engine1, args.option1, args.ponder1, args.limit1),
             (args.engine2, args.option2, args.ponder2, args.limit2)]):
        if ponder:
            options = options + ["Ponder=true"]
        engine_options.append(options)
        players.append(Player(Uci(command, os.path.basename(command.split()[0]), options, args.chess960,
                                  folders[i]), ponder, limit))
    for g in range(args.games):
        if args.chess960:
            start, opening = chess960_fen(rng.randrange(960), shredder=args.shredder or g % 2 == 1), []
        else:
            start, opening = START_FEN, OPENINGS[(g // 2) % len(OPENINGS)]
        order = players if g % 2 == 0 else players[::-1]
        moves, times = list(opening), []
        try:
            result, reason = play(order, start, moves, oracle, tc, stats, times)
        except EngineGone as gone:
            count(stats, "crashes", gone.name)
            result, reason = "*", str(gone)
            print("\n".join(gone_log(players, gone.name)), file=sys.stderr)
            time.sleep(0.5)  # let the process that went away be reaped
            for p in players:
                # The survivor may still be pondering on a game that has ended.
                if p.expecting is not None and p.engine.proc.poll() is None:
                    p.engine.send("stop")
                    p.engine.until("bestmove", GRACE_S)
                p.expecting = None
        # An engine that went away, or hung, starts afresh for the next game.
        for i, p in enumerate(players):
            hung = reason.startswith(p.engine.name + " ") and (" hung " in reason or "did not answer" in reason)
            if p.engine.proc.poll() is None and not hung:
                continue
            if p.engine.proc.poll() is None:
                p.engine.proc.kill()
                p.engine.proc.wait()
            print("restarting %s (exit status %s)" % (p.engine.name, p.engine.proc.returncode))
            command = args.engine1 if i == 0 else args.engine2
            p.engine = Uci(command, p.engine.name, engine_options[i], args.chess960, folders[i])
        score[result] = score.get(result, 0) + 1
        if result in ("1-0", "0-1", "1/2-1/2"):
            white = players.index(order[0])
            w = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
            points[white] += w
            points[1 - white] += 1 - w
        print("game %d: %s - %s  %s  %s, %d plies  %s" % (
            g + 1, order[0].engine.name, order[1].engine.name, result, reason, len(moves), start), flush=True)
        if log:
            timed = ["%s(%d)" % (m, t) for m, t in zip(moves[len(moves) - len(times):], times)]
            log.write("%s %s %s {%s} %s\n" % (start, order[0].engine.name, result, reason, " ".join(timed)))
            log.flush()
    for p in players:
        status = p.engine.close()
        if status not in (0, None):
            print("%s exit status %s" % (p.engine.name, status))
    oracle.close()
    print("%s %.1f - %.1f %s; results %s" % (players[0].engine.name, points[0], points[1],
                                             players[1].engine.name, score))
    faults = ("illegal moves", "time losses", "crashes", "hangs")
    for p in players:
        print("%s: %s" % (p.engine.name, ", ".join("%s %d" % (k, stats[k].get(p.engine.name, 0)) for k in faults)))
    print("ponder hits %d, misses %d, slowest answer to stop %.0f ms"
          % (stats["ponderhits"], stats["pondermisses"], stats["slowest_stop_ms"]))
    sys.exit(1 if any(stats[k].get(players[0].engine.name, 0) for k in faults) else 0)


if __name__ == "__main__":
    main()
