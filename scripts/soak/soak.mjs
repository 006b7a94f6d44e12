#!/usr/bin/env node
// Soak referee: many games through the real xboard pipe protocol, Tolvane against itself and the
// xboard engines installed here, with the rules and the clocks kept outside every engine.
//
//   node scripts/soak/soak.mjs --engine build/release/tolvane [--check-engine build/check/tolvane]
//        [--jobs 2] [--out DIR] [--only SERIES,...] [--scale F] [--list]
//
// The rules come from chessops (npm, pinned in package.json beside this file); the first run
// installs it here with `npm install`. Every game writes its full pipe traffic to DIR/games/, one
// JSON line to DIR/results.jsonl, and the end prints the table of crashes, illegal moves, time
// losses, hangs and results that disagree with the referee.
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
if (!fs.existsSync(path.join(here, 'node_modules', 'chessops'))) {
  console.log('installing the rules library (chessops) for the referee ...');
  execFileSync('npm', ['install', '--no-audit', '--no-fund', '--silent'], { cwd: here, stdio: 'inherit' });
}
const { Chess, normalizeMove } = await import('chessops/chess');
const { parseFen, makeFen } = await import('chessops/fen');
const { parseUci, makeUci, squareFile, squareRank } = await import('chessops/util');

// ---------------------------------------------------------------------------------------------
// Options

const args = process.argv.slice(2);
function option(name, fallback) {
  const i = args.indexOf(`--${name}`);
  return i >= 0 && i + 1 < args.length ? args[i + 1] : fallback;
}
const engineBinary = path.resolve(option('engine', 'build/release/tolvane'));
const checkBinary = option('check-engine', '') ? path.resolve(option('check-engine')) : '';
const jobs = Number(option('jobs', '2'));
const outDir = path.resolve(option('out', fs.mkdtempSync(path.join(os.tmpdir(), 'tolvane-soak-'))));
const only = option('only', '') ? option('only').split(',') : null;
const scale = Number(option('scale', '1'));
const GAME_PLY_CAP = 400;  // a longer game is adjudicated a draw: the long-game run tests that part
const HANG_GRACE_MS = 15000;  // past the clock by this much, an engine that has not moved hangs

// ---------------------------------------------------------------------------------------------
// The games to play: series of one pairing, variant, time control and pondering.

const TOLVANE = { name: 'tolvane', command: engineBinary, args: [] };
const CHECKED = { name: 'tolvane-check', command: checkBinary, args: [] };
// The bitbase library replaced by a faulty one: impossible scores, no entries, not a library.
const testLibraries = path.join(path.dirname(engineBinary), 'test-egbb');
const FAULTY = {
  garbage: { name: 'tolvane-garbage-egbb', command: engineBinary, args: [], egbb: path.join(testLibraries, 'garbage_scores') },
  entries: { name: 'tolvane-no-entries-egbb', command: engineBinary, args: [], egbb: path.join(testLibraries, 'no_entries') },
  notlib: { name: 'tolvane-not-a-library-egbb', command: engineBinary, args: [], egbb: 'not-a-library' },
};
const PEERS = {
  fairymax: { name: 'fairymax', command: '/usr/games/fairymax', args: [], variants: ['normal', 'nocastle'] },
  phalanx: { name: 'phalanx', command: '/usr/games/phalanx', args: ['-l-'], variants: ['normal'] },
  sjeng: { name: 'sjeng', command: '/usr/games/sjeng', args: [], variants: ['normal'] },
  hoichess: { name: 'hoichess', command: '/usr/games/hoichess', args: [], variants: ['normal'] },
};
// Not gnuchess: Debian's 6.2.7 in xboard mode acts on no input line before its input closes (over a
// pipe and over a terminal alike), and without -x it answers "My move is", so it never plays here.
const FAST = { level: '0 0:01 0.01' };
const QUICK = { level: '0 0:02 0.1' };
const SESSION = { level: '40 0:10 0' };
const PER_MOVE = { st: '0.05' };
const PER_MOVE_WHOLE = { st: '1' };

function series(name, opponent, variant, tc, games, extra = {}) {
  return { name, engine: extra.engine || TOLVANE, opponent, variant, tc, games, ponder: !!extra.ponder,
           endgames: !!extra.endgames };
}
const PLAN = [
  series('self-fast-normal', TOLVANE, 'normal', FAST, 160),
  series('self-fast-nocastle', TOLVANE, 'nocastle', FAST, 70),
  series('self-fast-960', TOLVANE, 'fischerandom', FAST, 130),
  series('self-st005-normal', TOLVANE, 'normal', PER_MOVE, 50),
  series('self-st005-960', TOLVANE, 'fischerandom', PER_MOVE, 30),
  series('self-st1-normal', TOLVANE, 'normal', PER_MOVE_WHOLE, 6),
  series('self-quick-normal', TOLVANE, 'normal', QUICK, 20),
  series('self-session-normal', TOLVANE, 'normal', SESSION, 8),
  series('self-session-960', TOLVANE, 'fischerandom', SESSION, 4),
  series('self-ponder-normal', TOLVANE, 'normal', QUICK, 16, { ponder: true }),
  series('self-ponder-960', TOLVANE, 'fischerandom', QUICK, 8, { ponder: true }),
  series('check-fast-normal', TOLVANE, 'normal', FAST, 50, { engine: CHECKED }),
  series('check-fast-960', TOLVANE, 'fischerandom', FAST, 50, { engine: CHECKED }),
  series('check-fast-nocastle', TOLVANE, 'nocastle', FAST, 20, { engine: CHECKED }),
  series('fairymax-fast-normal', PEERS.fairymax, 'normal', FAST, 60),
  series('fairymax-fast-nocastle', PEERS.fairymax, 'nocastle', FAST, 40),
  series('fairymax-session', PEERS.fairymax, 'normal', SESSION, 4),
  series('fairymax-ponder', PEERS.fairymax, 'normal', QUICK, 8, { ponder: true }),
  series('phalanx-fast', PEERS.phalanx, 'normal', FAST, 60),
  series('phalanx-session', PEERS.phalanx, 'normal', SESSION, 4),
  series('sjeng-fast', PEERS.sjeng, 'normal', FAST, 60),
  series('sjeng-session', PEERS.sjeng, 'normal', SESSION, 4),
  series('hoichess-fast', PEERS.hoichess, 'normal', FAST, 60),
  series('hoichess-session', PEERS.hoichess, 'normal', SESSION, 4),
  series('egbb-garbage', TOLVANE, 'normal', FAST, 16, { engine: FAULTY.garbage, endgames: true }),
  series('egbb-no-entries', TOLVANE, 'normal', FAST, 8, { engine: FAULTY.entries, endgames: true }),
  series('egbb-not-a-library', TOLVANE, 'normal', FAST, 8, { engine: FAULTY.notlib, endgames: true }),
  series('self-endgames', TOLVANE, 'normal', FAST, 30, { endgames: true }),
];

// Positions of five men or fewer, where the search asks the bitbases.
const ENDGAMES = [
  '8/8/4k3/8/8/8/1Q6/K7 w - - 0 1', '8/8/8/4k3/8/8/3PK3/8 w - - 0 1', '8/8/3k4/8/8/2R5/4K3/5r2 w - - 0 1',
  '8/5k2/8/8/3P4/2K5/8/5r2 w - - 0 1', '8/8/8/2k5/8/8/1PP5/1K6 b - - 0 1', '4k3/8/8/8/8/8/4P3/4K2R w K - 0 1',
  '8/8/1k6/8/8/8/6NB/6K1 w - - 0 1', '8/8/8/8/3qk3/8/8/1R2K2R w K - 0 1',
];

// ---------------------------------------------------------------------------------------------
// Starting positions

const OPENINGS = [
  [], ['e2e4', 'e7e5'], ['d2d4', 'd7d5'], ['c2c4', 'e7e5'], ['e2e4', 'c7c5'], ['d2d4', 'g8f6', 'c2c4', 'e7e6'],
  ['e2e4', 'e7e6', 'd2d4', 'd7d5'], ['g1f3', 'd7d5'], ['e2e4', 'c7c6', 'd2d4', 'd7d5'], ['b2b3', 'e7e5'],
];

// The engines' opening book, so that normal games also pass through book moves.
const BOOK_LINES = [
  'e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1', 'e2e4 e7e5 g1f3 b8c6 f1c4 f8c5 c2c3 g8f6',
  'e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6', 'e2e4 e7e6 d2d4 d7d5 b1c3 f8b4',
  'd2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c1g5', 'd2d4 g8f6 c2c4 g7g6 b1c3 f8g7 e2e4 d7d6',
  'c2c4 e7e5 b1c3 g8f6 g1f3 b8c6', 'g1f3 d7d5 g2g3 g8f6 f1g2',
];

// Chess960 start number n (0..959) as a back rank, by the usual numbering.
function chess960Rank(n) {
  const rank = Array(8).fill(null);
  const free = () => rank.map((p, i) => (p ? -1 : i)).filter((i) => i >= 0);
  rank[2 * (n % 4) + 1] = 'b'; n = Math.floor(n / 4);
  rank[2 * (n % 4)] = 'b'; n = Math.floor(n / 4);
  rank[free()[n % 6]] = 'q'; n = Math.floor(n / 6);
  const knights = [[0, 1], [0, 2], [0, 3], [0, 4], [1, 2], [1, 3], [1, 4], [2, 3], [2, 4], [3, 4]][n];
  const f = free();
  rank[f[knights[0]]] = 'n';
  rank[f[knights[1]]] = 'n';
  const rest = free();
  rank[rest[0]] = 'r';
  rank[rest[1]] = 'k';
  rank[rest[2]] = 'r';
  return rank.join('');
}

// Both castling notations in turn: rook files (HAha) and the KQkq letters.
function chess960Fen(n, fileLetters) {
  const back = chess960Rank(n);
  const rooks = [...back].map((p, i) => (p === 'r' ? i : -1)).filter((i) => i >= 0);
  const files = 'abcdefgh';
  const castling = fileLetters
    ? files[rooks[1]].toUpperCase() + files[rooks[0]].toUpperCase() + files[rooks[1]] + files[rooks[0]]
    : 'KQkq';
  return `${back}/pppppppp/8/8/8/8/PPPPPPPP/${back.toUpperCase()} w ${castling} - 0 1`;
}

// ---------------------------------------------------------------------------------------------
// Engines over pipes

class Engine {
  constructor(spec, log, side) {
    this.spec = spec;
    this.log = log;
    this.tag = side;
    this.lines = [];
    this.waiters = [];
    this.exited = null;
    this.buffer = '';
    const cwd = spec.name.startsWith('tolvane') ? engineFolder(spec) : fs.mkdtempSync(path.join(os.tmpdir(), 'soak-peer-'));
    this.bitbaseMessages = 0;
    this.cwd = cwd;
    this.proc = spawn(spec.command, spec.args, { cwd, stdio: ['pipe', 'pipe', 'pipe'] });
    this.proc.stdin.on('error', () => {});
    this.proc.stdout.on('data', (chunk) => this.receive(chunk.toString('latin1')));
    this.proc.stderr.on('data', (chunk) => this.log(`${this.tag}! ${chunk.toString('latin1').trimEnd()}`));
    this.proc.on('exit', (code, signal) => {
      this.exited = { code, signal, at: Date.now() };
      this.log(`${this.tag} exited: code ${code} signal ${signal}`);
      this.wake();
    });
  }

  receive(text) {
    this.buffer += text;
    let newline;
    while ((newline = this.buffer.indexOf('\n')) >= 0) {
      const line = this.buffer.slice(0, newline).replace(/\r$/, '');
      this.buffer = this.buffer.slice(newline + 1);
      this.log(`${this.tag}> ${line}`);
      if (/^Bitbase library/.test(line)) this.bitbaseMessages++;
      this.lines.push({ line, at: Date.now() });
    }
    this.wake();
  }

  wake() {
    const waiters = this.waiters;
    this.waiters = [];
    for (const w of waiters) w();
  }

  send(line) {
    this.log(`${this.tag}< ${line}`);
    if (!this.exited) this.proc.stdin.write(line + '\n');
  }

  // The next line for which test is true (earlier lines are dropped), or null at the deadline or
  // once the engine has exited.
  async expect(test, deadline) {
    for (;;) {
      while (this.lines.length) {
        const entry = this.lines.shift();
        if (test(entry.line)) return entry;
      }
      if (this.exited || Date.now() >= deadline) return null;
      await new Promise((resolve) => {
        this.waiters.push(resolve);
        setTimeout(resolve, Math.max(1, Math.min(deadline - Date.now(), 1000)));
      });
    }
  }

  // The engine's time on a CPU and waiting for one, in ms, as the kernel counts them: a move
  // that came late while the engine waited for a CPU is the machine's load, not its clock.
  schedMs() {
    try {
      const [onCpu, waiting] = fs.readFileSync(`/proc/${this.proc.pid}/schedstat`, 'utf8').split(' ').map(Number);
      return { onCpu: onCpu / 1e6, waiting: waiting / 1e6 };
    } catch {
      return null;
    }
  }

  async quit() {
    if (!this.exited) {
      this.send('quit');
      const until = Date.now() + 3000;
      while (!this.exited && Date.now() < until) await new Promise((r) => setTimeout(r, 20));
      if (!this.exited) this.proc.kill('SIGKILL');
    }
    if (!this.spec.name.startsWith('tolvane')) fs.rmSync(this.cwd, { recursive: true, force: true });
  }
}

// ---------------------------------------------------------------------------------------------
// The referee's board

function repetitionKey(pos) {
  return makeFen(pos.toSetup()).split(' ').slice(0, 4).join(' ');
}

// The result the rules give now, or null while the game goes on.
function adjudicate(pos, seen) {
  if (pos.isCheckmate()) return { result: pos.turn === 'white' ? '0-1' : '1-0', reason: 'checkmate' };
  if (pos.isStalemate()) return { result: '1/2-1/2', reason: 'stalemate' };
  if (pos.isInsufficientMaterial()) return { result: '1/2-1/2', reason: 'insufficient material' };
  if (pos.halfmoves >= 100) return { result: '1/2-1/2', reason: 'fifty moves' };
  if ((seen.get(repetitionKey(pos)) || 0) >= 3) return { result: '1/2-1/2', reason: 'repetition' };
  return null;
}

// An engine's move word as a chessops move (castling as king takes own rook), or null.
function readMove(word, pos, chess960) {
  const color = pos.turn;
  if (/^(O-O(-O)?|0-0(-0)?)$/.test(word)) {
    const side = word.length > 3 ? 'a' : 'h';
    const rook = pos.castles.rook[color][side];
    const king = pos.board.kingOf(color);
    return rook === undefined || king === undefined ? null : { from: king, to: rook };
  }
  const move = parseUci(word.replace('=', '').toLowerCase());
  if (!move) return null;
  if (chess960) {
    // In Chess960 a king move onto its castling square is castling when no plain king move is.
    const king = pos.board.kingOf(color);
    if (move.from === king && !pos.isLegal(move)) {
      for (const side of ['a', 'h']) {
        const rook = pos.castles.rook[color][side];
        if (rook === undefined) continue;
        const target = (color === 'white' ? 0 : 56) + (side === 'h' ? 6 : 2);
        if (move.to === target) return { from: king, to: rook };
      }
    }
    return move;
  }
  return normalizeMove(pos, move);
}

// A legal move as an engine reads it: castling as O-O in Chess960, as the king's two-square
// move otherwise.
function writeMove(move, pos, chess960) {
  const piece = pos.board.get(move.from);
  if (piece && piece.role === 'king') {
    const target = pos.board.get(move.to);
    if (target && target.role === 'rook' && target.color === piece.color) {
      const short = squareFile(move.to) > squareFile(move.from);
      if (chess960) return short ? 'O-O' : 'O-O-O';
      const rank = squareRank(move.from) * 8;
      return makeUci({ from: move.from, to: rank + (short ? 6 : 2) });
    }
  }
  return makeUci(move);
}

// ---------------------------------------------------------------------------------------------
// One game

const RESULT_LINE = /^(1-0|0-1|1\/2-1\/2)\s*(\{.*\})?\s*$/;

async function startEngine(engine, setup) {
  engine.send('xboard');
  engine.send('protover 2');
  // Engines that never finish their features are taken as they are after a while, as xboard does.
  await engine.expect((l) => /feature.*done=1/.test(l), Date.now() + 5000);
  engine.send('new');
  if (setup.variant !== 'normal') engine.send(`variant ${setup.variant}`);
  engine.send('random');
  if (setup.tc.level) engine.send(`level ${setup.tc.level}`);
  else engine.send(`st ${setup.tc.st}`);
  engine.send('post');
  engine.send(setup.ponder ? 'hard' : 'easy');
  engine.send('force');
  if (setup.fen) engine.send(`setboard ${setup.fen}`);
  for (const word of setup.openingWords) engine.send(word);
}

function clockSetup(tc) {
  if (tc.st) return { perMove: Math.round(Number(tc.st) * 1000) };
  const [moves, base, inc] = tc.level.split(' ');
  const [minutes, seconds] = base.includes(':') ? base.split(':').map(Number) : [Number(base), 0];
  return { moves: Number(moves), baseMs: (minutes * 60 + seconds) * 1000, incMs: Math.round(Number(inc) * 1000) };
}

async function playGame(index, s, gameNumber) {
  const white = gameNumber % 2 === 0 ? s.engine : s.opponent;
  const black = gameNumber % 2 === 0 ? s.opponent : s.engine;
  const chess960 = s.variant === 'fischerandom';
  let fen = null;
  let opening = [];
  if (chess960) fen = chess960Fen((index * 137 + 518) % 960, index % 2 === 0);
  else if (s.endgames) fen = ENDGAMES[Math.floor(gameNumber / 2) % ENDGAMES.length];
  else opening = OPENINGS[Math.floor(gameNumber / 2) % OPENINGS.length];
  let pos;
  if (fen) pos = Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
  else if (s.variant === 'nocastle') pos = Chess.fromSetup(parseFen('rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1').unwrap()).unwrap();
  else pos = Chess.default();

  const logLines = [];
  const t0 = Date.now();
  const log = (line) => logLines.push(`${String(Date.now() - t0).padStart(7)} ${line}`);
  const record = {
    index, series: s.name, white: white.name, black: black.name, variant: s.variant,
    tc: s.tc.level ? `level ${s.tc.level}` : `st ${s.tc.st}`, ponder: s.ponder, fen, load: os.loadavg()[0],
    result: null, reason: null, plies: 0, crashes: [], illegal: [], timeLosses: [], hangs: [],
    disagreements: [], rejected: [], maxOverrunMs: null, peerFaults: [],
  };

  const seen = new Map();
  const openingWords = [];
  for (const word of opening) {
    const move = readMove(word, pos, false);
    openingWords.push(writeMove(move, pos, false));
    pos.play(move);
  }
  seen.set(repetitionKey(pos), 1);

  const engines = { white: new Engine(white, log, 'W'), black: new Engine(black, log, 'B') };
  const isTolvane = (color) => engines[color].spec.name.startsWith('tolvane');
  const fault = (color, kind, detail) => {
    const entry = { side: color, engine: engines[color].spec.name, detail };
    if (isTolvane(color) || kind === 'disagreements') record[kind].push(entry);
    else record.peerFaults.push({ kind, ...entry });
  };
  const setup = { variant: s.variant, tc: s.tc, ponder: s.ponder, fen, openingWords };
  await Promise.all([startEngine(engines.white, setup), startEngine(engines.black, setup)]);

  const clock = clockSetup(s.tc);
  const remaining = { white: clock.baseMs ?? 0, black: clock.baseMs ?? 0 };
  const movesMade = { white: 0, black: 0 };
  const started = { white: false, black: false };
  let claimed = null;

  let end = adjudicate(pos, seen);
  while (!end) {
    const color = pos.turn;
    const other = color === 'white' ? 'black' : 'white';
    const engine = engines[color];
    const cs = (ms) => Math.max(0, Math.floor(ms / 10));
    if (clock.perMove === undefined) {
      engine.send(`time ${cs(remaining[color])}`);
      engine.send(`otim ${cs(remaining[other])}`);
    }
    const lastMove = record.lastMove;
    let sentAt;
    const schedBefore = engine.schedMs();
    if (!started[color]) {
      if (lastMove) engine.send(lastMove);
      sentAt = Date.now();
      engine.send('go');
      started[color] = true;
    } else {
      sentAt = Date.now();
      engine.send(lastMove);
    }
    const allowed = clock.perMove ?? remaining[color];
    const reply = await engine.expect((l) => /^move\s/.test(l) || RESULT_LINE.test(l) || /^resign/.test(l) ||
      /^Illegal move/.test(l), sentAt + allowed + HANG_GRACE_MS);
    if (!reply) {
      if (engine.exited) fault(color, 'crashes', `exit ${engine.exited.code} signal ${engine.exited.signal} at ply ${record.plies}`);
      else fault(color, 'hangs', `no move ${allowed + HANG_GRACE_MS} ms after ${lastMove || 'go'}`);
      end = { result: color === 'white' ? '0-1' : '1-0', reason: `${color} ${engine.exited ? 'crashed' : 'hung'}` };
      break;
    }
    if (/^Illegal move/.test(reply.line)) {
      fault(color, 'rejected', `${reply.line} (referee: legal)`);
      end = { result: '*', reason: `${color} refused a legal move` };
      break;
    }
    if (RESULT_LINE.test(reply.line) || /^resign/.test(reply.line)) {
      // A claim instead of a move: the referee must agree the game is over.
      const verdict = adjudicate(pos, seen);
      const claimedResult = /^resign/.test(reply.line) ? (color === 'white' ? '0-1' : '1-0') : reply.line.match(RESULT_LINE)[1];
      if (/^resign/.test(reply.line)) end = { result: claimedResult, reason: `${color} resigns` };
      else if (!verdict || verdict.result !== claimedResult) {
        fault(color, 'disagreements', `claimed "${reply.line}" at ply ${record.plies}; referee: ${verdict ? verdict.result : 'game goes on'}`);
        end = { result: '*', reason: 'disputed claim' };
      } else end = verdict;
      break;
    }
    const elapsed = reply.at - sentAt;
    const word = reply.line.split(/\s+/)[1];
    const move = readMove(word, pos, chess960);
    if (!move || !pos.isLegal(move)) {
      fault(color, 'illegal', `${word} at ply ${record.plies} in ${makeFen(pos.toSetup())}`);
      end = { result: color === 'white' ? '0-1' : '1-0', reason: `${color} illegal move` };
      break;
    }

    // The clock, kept here.
    let overrun;
    if (clock.perMove !== undefined) {
      overrun = elapsed - clock.perMove;
    } else {
      remaining[color] -= elapsed;
      overrun = -remaining[color];
      movesMade[color]++;
      remaining[color] += clock.incMs;
      if (clock.moves > 0 && movesMade[color] % clock.moves === 0) remaining[color] += clock.baseMs;
    }
    if (isTolvane(color)) record.maxOverrunMs = Math.max(record.maxOverrunMs ?? -Infinity, overrun);
    if (overrun > 0) {
      const schedAfter = engine.schedMs();
      const sched = schedBefore && schedAfter
        ? `; ${Math.round(schedAfter.onCpu - schedBefore.onCpu)} ms on a CPU, ${Math.round(schedAfter.waiting - schedBefore.waiting)} ms waiting for one`
        : '';
      fault(color, 'timeLosses', `${overrun} ms over at ply ${record.plies} after ${elapsed} ms (load ${os.loadavg()[0].toFixed(1)}${sched})`);
      end = { result: color === 'white' ? '0-1' : '1-0', reason: `${color} lost on time` };
      break;
    }

    record.lastMove = writeMove(move, pos, chess960);
    pos.play(move);
    record.plies++;
    const key = repetitionKey(pos);
    seen.set(key, (seen.get(key) || 0) + 1);
    end = adjudicate(pos, seen);
    if (!end && record.plies >= GAME_PLY_CAP) end = { result: '1/2-1/2', reason: 'adjudicated: length' };
    if (end) {
      // The mover may claim the end in the same breath; collect what both say about it. A move
      // played after the end is no fault: the interface ends the game and ignores it.
      engines[other].send(record.lastMove);
      await new Promise((r) => setTimeout(r, 300));
      for (const c of ['white', 'black']) {
        for (const { line } of engines[c].lines) {
          const m = line.match(RESULT_LINE);
          if (m && m[1] !== end.result && !end.reason.startsWith('adjudicated')) {
            fault(c, 'disagreements', `claimed "${line}"; referee: ${end.result} (${end.reason})`);
          }
        }
      }
    } else {
      // A claim printed right after a legal move, with the game going on, is a disagreement.
      for (const { line } of engine.lines) {
        const m = line.match(RESULT_LINE);
        if (m) {
          claimed = line;
          fault(color, 'disagreements', `claimed "${claimed}" after its move at ply ${record.plies}; referee: game goes on`);
        }
      }
    }
  }

  record.result = end.result;
  record.reason = end.reason;
  for (const c of ['white', 'black']) engines[c].send(`result ${end.result} {${end.reason}}`);
  await Promise.all([engines.white.quit(), engines.black.quit()]);
  for (const c of ['white', 'black']) {
    const e = engines[c];
    if (isTolvane(c) && e.exited && (e.exited.signal || (e.exited.code !== 0 && e.exited.code !== null))) {
      fault(c, 'crashes', `at quit: code ${e.exited.code} signal ${e.exited.signal}`);
    }
  }
  delete record.lastMove;
  record.bitbaseMessages = engines.white.bitbaseMessages + engines.black.bitbaseMessages;
  record.seconds = (Date.now() - t0) / 1000;
  const bad = ['crashes', 'illegal', 'timeLosses', 'hangs', 'disagreements', 'rejected'].some((k) => record[k].length);
  fs.writeFileSync(path.join(outDir, 'games', `${String(index).padStart(4, '0')}-${s.name}${bad ? '-FAULT' : ''}.log`),
    [JSON.stringify(record), ...logLines].join('\n') + '\n');
  return record;
}

// ---------------------------------------------------------------------------------------------
// The engines' folder: a book made for the soak and the bitbase library, as a user installs them.

const tolvaneFolder = path.join(outDir, 'tolvane');
// The folder an engine runs in: the common one, or one whose settings name a faulty library.
function engineFolder(spec) {
  if (!spec.egbb) return tolvaneFolder;
  const folder = path.join(outDir, spec.name);
  if (!fs.existsSync(folder)) {
    fs.mkdirSync(folder);
    let library = spec.egbb;
    if (library === 'not-a-library') {
      library = path.join(folder, 'not-a-library');
      fs.mkdirSync(library);
      fs.writeFileSync(path.join(library, 'egbbso64.so'), 'This is a text file, not a library.\n');
    }
    fs.writeFileSync(path.join(folder, 'tolvane.ini'), `hash 16\necache 2\npath ${library}/\n`);
  }
  return folder;
}

function prepareFolder() {
  fs.mkdirSync(path.join(outDir, 'games'), { recursive: true });
  fs.mkdirSync(tolvaneFolder, { recursive: true });
  const buildDir = path.dirname(engineBinary);
  const bookTool = path.join(buildDir, 'tolvane-book');
  const egbb = path.join(buildDir, 'egbb');
  if (fs.existsSync(egbb) && !fs.existsSync(path.join(tolvaneFolder, 'egbb'))) {
    fs.symlinkSync(egbb, path.join(tolvaneFolder, 'egbb'));
  }
  let ini = 'hash 16\necache 2\n';
  if (fs.existsSync(bookTool)) {
    fs.writeFileSync(path.join(tolvaneFolder, 'lines.txt'), BOOK_LINES.join('\n') + '\n');
    execFileSync(bookTool, ['random'], { cwd: tolvaneFolder, stdio: 'ignore' });
    execFileSync(bookTool, ['make', 'main.bin', 'lines.txt'], { cwd: tolvaneFolder, stdio: 'ignore' });
    ini += 'mainbook main.bin\n';
  }
  fs.writeFileSync(path.join(tolvaneFolder, 'tolvane.ini'), ini);
}

// ---------------------------------------------------------------------------------------------
// The run

const KINDS = ['crashes', 'illegal', 'timeLosses', 'hangs', 'disagreements', 'rejected'];

function table(records) {
  const rows = new Map();
  for (const r of records) {
    if (!rows.has(r.series)) {
      rows.set(r.series, { games: 0, variant: r.variant, tc: r.tc, ponder: r.ponder, opponent: '', ...Object.fromEntries(KINDS.map((k) => [k, 0])), peer: 0, over: -Infinity, seconds: 0 });
    }
    const row = rows.get(r.series);
    row.games++;
    row.opponent = r.white.startsWith('tolvane') ? r.black : r.white;
    for (const k of KINDS) row[k] += r[k].length;
    row.peer += r.peerFaults.length;
    if (r.maxOverrunMs !== null) row.over = Math.max(row.over, r.maxOverrunMs);
    row.seconds += r.seconds;
  }
  const head = ['series', 'games', 'variant', 'time control', 'ponder', 'crash', 'illegal', 'time', 'hang', 'disagree', 'refused', 'peer faults', 'closest ms'];
  const lines = [head.join(' | ')];
  const total = { games: 0, ...Object.fromEntries(KINDS.map((k) => [k, 0])), peer: 0 };
  for (const [name, row] of rows) {
    lines.push([name, row.games, row.variant, row.tc, row.ponder ? 'on' : 'off', row.crashes, row.illegal, row.timeLosses,
      row.hangs, row.disagreements, row.rejected, row.peer, row.over === -Infinity ? '-' : row.over].join(' | '));
    total.games += row.games;
    for (const k of KINDS) total[k] += row[k];
    total.peer += row.peer;
  }
  lines.push(['total', total.games, '', '', '', total.crashes, total.illegal, total.timeLosses, total.hangs,
    total.disagreements, total.rejected, total.peer, ''].join(' | '));
  return lines.join('\n');
}

// ---------------------------------------------------------------------------------------------
// Long runs

// One analysis of a rich position for the given seconds: every thinking line must read right,
// the node counts only grow and pass 2^31, and the engine leaves the analysis and quits cleanly.
async function analysisRun(seconds) {
  const logLines = [];
  const t0 = Date.now();
  const engine = new Engine(TOLVANE, (l) => logLines.push(`${String(Date.now() - t0).padStart(9)} ${l}`), 'A');
  engine.send('xboard');
  engine.send('protover 2');
  await engine.expect((l) => /feature.*done=1/.test(l), Date.now() + 5000);
  engine.send('post');
  engine.send('force');
  engine.send('setboard r1bq1rk1/pp2nppp/2n1p3/3pP3/2pP4/P1P2N2/2P1BPPP/R1BQK2R w KQ - 0 9');
  engine.send('analyze');
  const faults = [];
  let lastNodes = -1;
  let lastLine = '';
  let lines = 0;
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const entry = await engine.expect(() => true, end);
    if (!entry) break;
    const m = entry.line.match(/^\s*(\d+)\s+(-?\d+)\s+(\d+)\s+(\S+)\s/);
    if (!m) continue;
    lines++;
    const nodes = Number(m[4]);
    if (!/^\d+$/.test(m[4]) || nodes < lastNodes) faults.push(`node count ${m[4]} after ${lastNodes}: ${entry.line}`);
    lastNodes = nodes;
    lastLine = entry.line;
  }
  engine.send('exit');
  await engine.quit();
  if (engine.exited?.code !== 0) faults.push(`exit ${engine.exited?.code} signal ${engine.exited?.signal}`);
  if (lastNodes <= 2 ** 31) faults.push(`nodes only reached ${lastNodes}`);
  fs.writeFileSync(path.join(outDir, 'analysis.log'), logLines.join('\n') + '\n');
  return { seconds, lines, lastNodes, lastLine: lastLine.slice(0, 120), faults };
}

// A game played up to the end of the move history: knights shuffle until a few dozen plies are
// left, then the engine plays both sides until it says it stops; every move checked here.
async function longGameRun() {
  const logLines = [];
  const t0 = Date.now();
  const engine = new Engine(TOLVANE, (l) => logLines.push(`${String(Date.now() - t0).padStart(9)} ${l}`), 'L');
  const faults = [];
  engine.send('xboard');
  engine.send('protover 2');
  await engine.expect((l) => /feature.*done=1/.test(l), Date.now() + 5000);
  engine.send('new');
  engine.send('easy');
  engine.send('st 1');
  engine.send('force');
  const pos = Chess.default();
  const shuffle = ['g1f3', 'g8f6', 'f3g1', 'f6g8'];
  let plies = 0;
  for (; plies < 3940; plies++) {
    const word = shuffle[plies % 4];
    pos.play(parseUci(word));
    engine.send(word);
  }
  engine.send('ping 1');
  if (!(await engine.expect((l) => l === 'pong 1', Date.now() + 60000))) faults.push('no answer after the shuffle');
  let stopped = false;
  while (plies < 4200 && !stopped) {
    engine.send('go');
    const reply = await engine.expect((l) => /^move\s/.test(l) || /Game too long/.test(l), Date.now() + 20000);
    engine.send('force');
    if (!reply) { faults.push(`no move at ply ${plies}`); break; }
    if (/Game too long/.test(reply.line)) { stopped = true; break; }
    const move = readMove(reply.line.split(/\s+/)[1], pos, false);
    if (!move || !pos.isLegal(move)) { faults.push(`illegal ${reply.line} at ply ${plies}`); break; }
    pos.play(move);
    plies++;
  }
  // Past the end the interface's moves are refused with a reason, and taking one back still works.
  engine.send('e2e4');
  engine.send('ping 2');
  const refusal = await engine.expect((l) => /^Illegal move/.test(l) || l === 'pong 2', Date.now() + 10000);
  engine.send('undo');
  engine.send('ping 3');
  const after = await engine.expect((l) => l === 'pong 3', Date.now() + 10000);
  await engine.quit();
  if (!stopped) faults.push(`engine never said it stops (ply ${plies})`);
  if (!refusal || !/game too long/.test(refusal.line)) faults.push(`move past the end: ${refusal?.line}`);
  if (!after) faults.push('no answer after undo');
  if (engine.exited?.code !== 0) faults.push(`exit ${engine.exited?.code} signal ${engine.exited?.signal}`);
  fs.writeFileSync(path.join(outDir, 'long-game.log'), logLines.join('\n') + '\n');
  return { plies, stopped, refusal: refusal?.line, faults };
}

if (args.includes('--analysis') || args.includes('--long-game')) {
  prepareFolder();
  if (args.includes('--long-game')) console.log(JSON.stringify(await longGameRun()));
  if (args.includes('--analysis')) console.log(JSON.stringify(await analysisRun(Number(option('analysis', '3600')))));
  process.exit(0);
}

const plan = PLAN.filter((s) => (!only || only.includes(s.name)) && (s.engine !== CHECKED || checkBinary))
  .filter((s) => !s.opponent.command.startsWith('/usr/games') || fs.existsSync(s.opponent.command))
  .map((s) => ({ ...s, games: Math.max(1, Math.round(s.games * scale)) }));
if (args.includes('--list')) {
  for (const s of plan) console.log(`${s.name}: ${s.games} games`);
  console.log(`total ${plan.reduce((a, s) => a + s.games, 0)}`);
  process.exit(0);
}

prepareFolder();
const queue = [];
let index = 0;
for (const s of plan) for (let g = 0; g < s.games; g++) queue.push({ index: index++, s, g });
// Every series spread evenly over the run, so that a run stopped early has played some of each.
const share = ({ s, g }) => (g + 0.5) / s.games;
queue.sort((a, b) => share(a) - share(b) || a.index - b.index);
const resultsFile = path.join(outDir, 'results.jsonl');
const records = [];
console.log(`${queue.length} games, ${jobs} at a time; logs in ${outDir}`);
async function worker() {
  while (queue.length) {
    const { index: i, s, g } = queue.shift();
    const r = await playGame(i, s, g);
    records.push(r);
    fs.appendFileSync(resultsFile, JSON.stringify(r) + '\n');
    const faults = KINDS.flatMap((k) => r[k].map((f) => `${k}: ${f.detail}`));
    if (faults.length || records.length % 25 === 0) {
      console.log(`${records.length} games done (load ${os.loadavg()[0].toFixed(1)}); #${i} ${s.name} ${r.result} ${r.reason} ${faults.join('; ')}`);
    }
  }
}
await Promise.all(Array.from({ length: jobs }, worker));
records.sort((a, b) => a.index - b.index);
const summary = table(records);
fs.writeFileSync(path.join(outDir, 'table.txt'), summary + '\n');
console.log(summary);
