// The referee: games between two engines over xboard or UCI pipes, with the rules, the clocks,
// the fault checks, the PGN and the full pipe traffic kept here, outside every engine.
//
// Used by the soak (scripts/soak/soak.mjs) and the match (scripts/match.mjs). The rules come from
// chessops (npm, pinned in package.json beside this file); the first use installs it here.
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
const { parseFen, makeFen, INITIAL_FEN } = await import('chessops/fen');
const { parseUci, makeUci, squareFile, squareRank } = await import('chessops/util');
const { makeSan, parseSan } = await import('chessops/san');
export { Chess, parseFen, makeFen, parseUci };

export const FAULT_KINDS = ['crashes', 'illegal', 'timeLosses', 'hangs', 'disagreements', 'rejected'];

// ---------------------------------------------------------------------------------------------
// Time controls and limits

// "40/20" (40 moves in 20 s, again every 40 moves), "10+0.1" (10 s, 0.1 s added a move), "5"
// (5 s for the game), "40/20+0.1", or "st=0.2" (0.2 s for every move). Seconds throughout.
export function parseTimeControl(text) {
  const t = String(text).trim();
  let m = t.match(/^st=(\d+(?:\.\d+)?)$/);
  if (m) return { text: t, perMoveMs: Math.round(Number(m[1]) * 1000) };
  m = t.match(/^(?:(\d+)\/)?(\d+(?:\.\d+)?)(?:\+(\d+(?:\.\d+)?))?$/);
  if (!m || Number(m[2]) <= 0) throw new Error(`time control "${t}": use 40/20, 10+0.1, 5 or st=0.2`);
  return { text: t, moves: Number(m[1] || 0), baseMs: Math.round(Number(m[2]) * 1000),
           incMs: Math.round(Number(m[3] || 0) * 1000) };
}

// "depth=N", "nodes=N" or "movetime=MS": a side that searches to a limit instead of a clock.
export function parseLimit(text) {
  if (!text) return null;
  const m = String(text).match(/^(depth|nodes|movetime)=(\d+)$/);
  if (!m || Number(m[2]) <= 0) throw new Error(`limit "${text}": use depth=N, nodes=N or movetime=MS`);
  return { kind: m[1], value: Number(m[2]) };
}

// The xboard "level" and "st" words for a time control. The base is sent in whole seconds (the
// protocol has no finer unit there); the clock itself comes with every "time" command.
function xboardTimeWords(tc) {
  if (tc.perMoveMs !== undefined) return `st ${tc.perMoveMs / 1000}`;
  const seconds = Math.max(1, Math.round(tc.baseMs / 1000));
  const base = seconds % 60 ? `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}` : `${seconds / 60}`;
  return `level ${tc.moves} ${base} ${tc.incMs / 1000}`;
}

// ---------------------------------------------------------------------------------------------
// Starting positions

// Chess960 start number n (0..959) as a back rank, by the usual numbering.
export function chess960Rank(n) {
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

// Castling rights as rook files (HAha) or as the KQkq letters.
export function chess960Fen(n, fileLetters) {
  const back = chess960Rank(n);
  const rooks = [...back].map((p, i) => (p === 'r' ? i : -1)).filter((i) => i >= 0);
  const files = 'abcdefgh';
  const castling = fileLetters
    ? files[rooks[1]].toUpperCase() + files[rooks[0]].toUpperCase() + files[rooks[1]] + files[rooks[0]]
    : 'KQkq';
  return `${back}/pppppppp/8/8/8/8/PPPPPPPP/${back.toUpperCase()} w ${castling} - 0 1`;
}

export const NOCASTLE_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1';

// A position from FEN text, or an Error that says why not.
export function positionFromFen(fen) {
  const setup = parseFen(fen);
  if (setup.isErr) return new Error(`bad FEN "${fen}": ${setup.error.message}`);
  const pos = Chess.fromSetup(setup.value);
  return pos.isErr ? new Error(`impossible position "${fen}": ${pos.error.message}`) : pos.value;
}

// An opening file: one line per opening, either a FEN or moves (SAN or coordinates, move
// numbers allowed), or a FEN then ";" then moves; "#" starts a comment. Every move is checked.
export function readOpenings(file) {
  const openings = [];
  fs.readFileSync(file, 'utf8').split('\n').forEach((raw, i) => {
    const line = raw.replace(/#.*/, '').trim();
    if (!line) return;
    const [head, tail] = line.includes(';') ? line.split(';', 2) : line.includes('/') ? [line, ''] : ['', line];
    const fen = head.trim() || null;
    const pos = fen ? positionFromFen(fen) : Chess.default();
    if (pos instanceof Error) throw new Error(`${file}:${i + 1}: ${pos.message}`);
    const moves = [];
    for (const word of tail.trim().split(/\s+/).filter((w) => w && !/^\d+\.+$/.test(w))) {
      const move = readMove(word.replace(/^\d+\.+/, ''), pos, false);
      if (!move || !pos.isLegal(move)) throw new Error(`${file}:${i + 1}: ${word} is not legal here`);
      moves.push(move);
      pos.play(move);
    }
    openings.push({ fen, moves, text: line });
  });
  return openings;
}

// ---------------------------------------------------------------------------------------------
// Moves between the referee's board and an engine's words

export function repetitionKey(pos) {
  return makeFen(pos.toSetup()).split(' ').slice(0, 4).join(' ');
}

// The result the rules give now, or null while the game goes on.
export function adjudicate(pos, seen) {
  if (pos.isCheckmate()) return { result: pos.turn === 'white' ? '0-1' : '1-0', reason: 'checkmate' };
  if (pos.isStalemate()) return { result: '1/2-1/2', reason: 'stalemate' };
  if (pos.isInsufficientMaterial()) return { result: '1/2-1/2', reason: 'insufficient material' };
  if (pos.halfmoves >= 100) return { result: '1/2-1/2', reason: 'fifty moves' };
  if ((seen.get(repetitionKey(pos)) || 0) >= 3) return { result: '1/2-1/2', reason: 'repetition' };
  return null;
}

// An engine's move word as a chessops move (castling as king takes own rook), or null. Takes
// coordinates, O-O castling, king-takes-rook castling and, failing those, SAN.
export function readMove(word, pos, chess960) {
  const color = pos.turn;
  if (/^(O-O(-O)?|0-0(-0)?)[+#]?$/.test(word)) {
    const side = word.replace(/[+#]/, '').length > 3 ? 'a' : 'h';
    const rook = pos.castles.rook[color][side];
    const king = pos.board.kingOf(color);
    return rook === undefined || king === undefined ? null : { from: king, to: rook };
  }
  const move = /^[a-h][1-8][a-h][1-8]=?[qrbnQRBN]?$/.test(word) ? parseUci(word.replace('=', '').toLowerCase()) : null;
  if (!move) return parseSan(pos, word) || null;
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

// A legal move as an engine reads it. Castling: in Chess960 O-O over xboard and king takes rook
// over UCI; otherwise the king's two-square move.
export function writeMove(move, pos, chess960, protocol = 'xboard') {
  const piece = pos.board.get(move.from);
  if (piece && piece.role === 'king') {
    const target = pos.board.get(move.to);
    if (target && target.role === 'rook' && target.color === piece.color) {
      const short = squareFile(move.to) > squareFile(move.from);
      if (chess960) return protocol === 'uci' ? makeUci(move) : short ? 'O-O' : 'O-O-O';
      const rank = squareRank(move.from) * 8;
      return makeUci({ from: move.from, to: rank + (short ? 6 : 2) });
    }
  }
  return makeUci(move);
}

// ---------------------------------------------------------------------------------------------
// Engines over pipes

// One engine process, line by line. spec: { name, command, args, cwd? }; without a cwd the
// engine runs in a fresh folder of its own, removed when it quits.
export class Engine {
  constructor(spec, log, tag) {
    this.spec = spec;
    this.log = log;
    this.tag = tag;
    this.lines = [];
    this.waiters = [];
    this.exited = null;
    this.buffer = '';
    this.bitbaseMessages = 0;
    this.ownFolder = !spec.cwd;
    this.cwd = spec.cwd || fs.mkdtempSync(path.join(os.tmpdir(), 'referee-engine-'));
    this.proc = spawn(spec.command, spec.args || [], { cwd: this.cwd, stdio: ['pipe', 'pipe', 'pipe'] });
    this.proc.stdin.on('error', () => {});
    this.proc.stdout.on('data', (chunk) => this.receive(chunk.toString('latin1')));
    this.proc.stderr.on('data', (chunk) => this.log(`${this.tag}! ${chunk.toString('latin1').trimEnd()}`));
    this.proc.on('error', (error) => {
      // A command that cannot start at all ends like a process that exits at once.
      if (!this.exited) this.exited = { code: null, signal: null, error: error.message, at: Date.now() };
      this.log(`${this.tag} could not run: ${error.message}`);
      this.wake();
    });
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
      while (!this.exited) await new Promise((r) => setTimeout(r, 20));
    }
    if (this.ownFolder) fs.rmSync(this.cwd, { recursive: true, force: true });
  }
}

// ---------------------------------------------------------------------------------------------
// The two protocols. A side starts its engine for a game, is told the game's moves, thinks when
// it is its turn and hands back what the engine answered.

const RESULT_LINE = /^(1-0|0-1|1\/2-1\/2)\s*(\{.*\})?\s*$/;
const XBOARD_FEATURES_MS = 2000;    // an engine that never says done=0 has this long, as in xboard
const XBOARD_DONE_MS = 20000;       // after done=0, this long for done=1
const UCI_HANDSHAKE_MS = 10000;
const READY_MS = 30000;             // isready may wait for a table allocation
const STOP_ANSWER_MS = 5000;        // after "stop" a pondering engine answers within this

function optionValue(options, name) {
  const entry = options.find(([k]) => k.toLowerCase() === name.toLowerCase());
  return entry ? entry[1] : undefined;
}

class XboardSide {
  constructor(engine, spec, notes) {
    this.engine = engine;
    this.spec = spec;
    this.notes = notes;
    this.features = {};
    this.engineOptions = [];
    this.started = false;
  }

  // A console prompt may stand before the first feature line.
  readFeatures(line) {
    const pairs = line.replace(/^.*?\bfeature\s/, '').matchAll(/(\w+)=("([^"]*)"|\S+)/g);
    for (const [, key, raw, quoted] of pairs) {
      const value = quoted !== undefined ? quoted : raw;
      if (key === 'option') this.engineOptions.push(value.split(' -')[0].trim());
      else this.features[key] = value;
    }
  }

  async start(game) {
    const e = this.engine;
    e.send('xboard');
    e.send('protover 2');
    const t0 = Date.now();
    let doneZero = false;
    for (;;) {
      const deadline = doneZero ? t0 + XBOARD_DONE_MS : t0 + XBOARD_FEATURES_MS;
      const entry = await e.expect((l) => /^(\S+> )?feature\s/.test(l), deadline);
      if (!entry) break;
      this.readFeatures(entry.line);
      if (this.features.done === '0') doneZero = true;
      if (this.features.done === '1') break;
    }
    // Threads, memory and the engine's own options come right after the features, as xboard sends them.
    for (const [name, value] of this.spec.options || []) {
      if (/^threads$/i.test(name) || /^cores$/i.test(name)) {
        if (this.features.smp === '1') e.send(`cores ${value}`);
        else this.notes.push(`${this.spec.name}: no feature smp=1, "cores ${value}" not sent`);
      } else if (/^hash$/i.test(name) || /^memory$/i.test(name)) {
        if (this.features.memory === '1') e.send(`memory ${value}`);
        else this.notes.push(`${this.spec.name}: no feature memory=1, "memory ${value}" not sent`);
      } else if (this.engineOptions.some((o) => o.toLowerCase() === name.toLowerCase())) {
        e.send(`option ${this.engineOptions.find((o) => o.toLowerCase() === name.toLowerCase())}=${value}`);
      } else {
        this.notes.push(`${this.spec.name}: offers no option "${name}", not sent`);
      }
    }
    e.send('new');
    if (game.variant !== 'normal') e.send(`variant ${game.variant}`);
    const limit = this.spec.limit;
    if (limit && limit.kind === 'movetime') e.send(`st ${limit.value / 1000}`);
    else e.send(xboardTimeWords(game.tc));
    if (limit && limit.kind === 'depth') e.send(`sd ${limit.value}`);
    e.send('post');
    e.send(this.spec.ponder ? 'hard' : 'easy');
    e.send('force');
    if (game.fen) e.send(`setboard ${game.fen}`);
    this.sentPlies = 0;
    this.catchUp(game);
  }

  word(move, pos, game) {
    const text = this.features.san === '1' ? makeSan(pos, move) : writeMove(move, pos, game.chess960, 'xboard');
    return this.features.usermove === '1' ? `usermove ${text}` : text;
  }

  // The moves played since this engine last heard of the game.
  catchUp(game) {
    for (; this.sentPlies < game.history.length; this.sentPlies++) {
      const { move, before } = game.history[this.sentPlies];
      this.engine.send(this.word(move, before, game));
    }
  }

  // Returns the time the engine's clock starts.
  think(game, clocks, color) {
    const e = this.engine;
    const other = color === 'white' ? 'black' : 'white';
    const cs = (ms) => Math.max(0, Math.floor(ms / 10));
    if (game.tc.perMoveMs === undefined && !this.spec.limit) {
      e.send(`time ${cs(clocks[color])}`);
      e.send(`otim ${cs(clocks[other])}`);
    }
    if (!this.started) {
      this.catchUp(game);
      this.started = true;
      const at = Date.now();
      e.send('go');
      return at;
    }
    const at = Date.now();
    this.catchUp(game);
    return at;
  }

  async answer(deadline) {
    const reply = await this.engine.expect((l) => /^move\s/.test(l) || RESULT_LINE.test(l) || /^resign/.test(l) ||
      /^Illegal move/.test(l), deadline);
    if (!reply) return null;
    if (/^Illegal move/.test(reply.line)) return { kind: 'refused', line: reply.line, at: reply.at };
    if (/^resign/.test(reply.line)) return { kind: 'resign', line: reply.line, at: reply.at };
    if (RESULT_LINE.test(reply.line)) return { kind: 'claim', result: reply.line.match(RESULT_LINE)[1], line: reply.line, at: reply.at };
    return { kind: 'move', word: reply.line.split(/\s+/)[1], at: reply.at };
  }

  // The engine knows the move it played.
  played(game) { this.sentPlies = game.history.length; }

  afterMove() {}

  // The moves it has not heard of yet: at the end, the last one, so that it can see the end.
  async finish(game) {
    this.catchUp(game);
  }

  claims() {
    return this.engine.lines.map((l) => l.line.match(RESULT_LINE)).filter(Boolean).map((m) => m[0]);
  }

  // A result line printed after the engine's own move, with the game going on.
  lateClaims() { return this.claims(); }

  end(result, reason) { this.engine.send(`result ${result} {${reason}}`); }
}

class UciSide {
  constructor(engine, spec, notes) {
    this.engine = engine;
    this.spec = spec;
    this.notes = notes;
    this.engineOptions = [];
    this.pondering = null;  // the move the engine ponders on
    this.stats = { ponderHits: 0, ponderMisses: 0, slowestStopMs: 0 };
  }

  async start(game) {
    const e = this.engine;
    e.send('uci');
    for (;;) {
      const entry = await e.expect((l) => l === 'uciok' || /^option name /.test(l), Date.now() + UCI_HANDSHAKE_MS);
      if (!entry) throw new Error('no uciok');
      if (entry.line === 'uciok') break;
      const m = entry.line.match(/^option name (.*?) type /);
      if (m) this.engineOptions.push(m[1]);
    }
    const offered = (name) => this.engineOptions.find((o) => o.toLowerCase() === name.toLowerCase());
    const set = (name, value) => {
      const known = offered(name);
      if (!known) this.notes.push(`${this.spec.name}: offers no option "${name}", sent all the same`);
      e.send(`setoption name ${known || name} value ${value}`);
    };
    for (const [name, value] of this.spec.options || []) set(name, value);
    if (this.spec.ponder) set('Ponder', 'true');
    if (game.chess960) set('UCI_Chess960', 'true');
    await this.ready('after the options');
    e.send('ucinewgame');
    await this.ready('after ucinewgame');
  }

  async ready(when) {
    this.engine.send('isready');
    if (!(await this.engine.expect((l) => l === 'readyok', Date.now() + READY_MS))) throw new Error(`no readyok ${when}`);
  }

  positionLine(game, extra) {
    const words = game.history.map(({ move, before }) => writeMove(move, before, game.chess960, 'uci'));
    if (extra) words.push(extra);
    const start = game.fen ? `position fen ${game.fen}` : 'position startpos';
    return words.length ? `${start} moves ${words.join(' ')}` : start;
  }

  goLine(game, clocks, color, ponder) {
    const limit = this.spec.limit;
    let words;
    if (limit) words = `${limit.kind} ${limit.value}`;
    else if (game.tc.perMoveMs !== undefined) words = `movetime ${game.tc.perMoveMs}`;
    else {
      const tc = game.tc;
      words = `wtime ${Math.max(0, Math.round(clocks.white))} btime ${Math.max(0, Math.round(clocks.black))} ` +
        `winc ${tc.incMs} binc ${tc.incMs}`;
      if (tc.moves > 0) words += ` movestogo ${tc.moves - (clocks.made[color] % tc.moves)}`;
    }
    return `go ${ponder ? 'ponder ' : ''}${words}`;
  }

  async think(game, clocks, color) {
    const e = this.engine;
    const last = game.history.length ? writeMove(game.history.at(-1).move, game.history.at(-1).before, game.chess960, 'uci') : null;
    if (this.pondering !== null && this.pondering === last) {
      this.pondering = null;
      this.stats.ponderHits++;
      const at = Date.now();
      e.send('ponderhit');
      return at;
    }
    // The clock runs from the opponent's move: answering "stop" is the engine's own time.
    const at = Date.now();
    if (this.pondering !== null) {
      this.pondering = null;
      this.stats.ponderMisses++;
      e.send('stop');
      const answered = await e.expect((l) => /^bestmove/.test(l), Date.now() + STOP_ANSWER_MS);
      if (!answered && e.exited) return { at, fault: 'crashes', detail: `exit ${e.exited.code} signal ${e.exited.signal} while pondering` };
      if (!answered) return { at, fault: 'hangs', detail: `no bestmove ${STOP_ANSWER_MS} ms after stop` };
      this.stats.slowestStopMs = Math.max(this.stats.slowestStopMs, answered.at - at);
    }
    e.send(this.positionLine(game));
    e.send(this.goLine(game, clocks, color, false));
    return at;
  }

  async answer(deadline) {
    const reply = await this.engine.expect((l) => /^bestmove/.test(l) ||
      /^info string (Illegal move|Position refused|Illegal position)/.test(l), deadline);
    if (!reply) return null;
    if (/^info string/.test(reply.line)) return { kind: 'refused', line: reply.line, at: reply.at };
    const words = reply.line.split(/\s+/);
    this.ponderWord = words[2] === 'ponder' ? words[3] : null;
    return { kind: 'move', word: words[1] || '', at: reply.at };
  }

  // Pondering on the reply the engine expects, with the clocks as they stand.
  afterMove(game, clocks, color) {
    if (!this.spec.ponder || !this.ponderWord || game.over) return;
    this.pondering = this.ponderWord;
    this.engine.send(this.positionLine(game, this.ponderWord));
    this.engine.send(this.goLine(game, clocks, color, true));
  }

  async finish() {
    if (this.pondering === null) return;
    this.pondering = null;
    this.engine.send('stop');
    await this.engine.expect((l) => /^bestmove/.test(l), Date.now() + STOP_ANSWER_MS);
  }

  played() {}
  claims() { return []; }
  lateClaims() { return []; }
  end() {}
}

// ---------------------------------------------------------------------------------------------
// One game

function pgnText(tags, sans, result, reason, startPly) {
  const lines = Object.entries(tags).map(([k, v]) => `[${k} "${String(v).replace(/["\\]/g, '\\$&')}"]`);
  const words = [];
  sans.forEach((san, i) => {
    const ply = startPly + i;
    if (ply % 2 === 0) words.push(`${ply / 2 + 1}.`);
    else if (i === 0) words.push(`${(ply + 1) / 2}...`);
    words.push(san);
  });
  words.push(`{${reason}}`, result);
  let line = '';
  const body = [];
  for (const w of words) {
    if (line && line.length + 1 + w.length > 79) {
      body.push(line);
      line = w;
    } else line = line ? `${line} ${w}` : w;
  }
  body.push(line);
  return [...lines, '', ...body, '', ''].join('\n');
}

const pad2 = (n) => String(n).padStart(2, '0');

// The PGN Termination tag's words for how a game ended; the referee's own words follow the moves.
function termination(reason) {
  if (/lost on time/.test(reason)) return 'time forfeit';
  if (/crashed|hung|did not start/.test(reason)) return 'abandoned';
  if (/illegal|refused|disputed/.test(reason)) return 'rules infraction';
  if (/^adjudicated/.test(reason)) return 'adjudication';
  return 'normal';
}

// Plays one game and returns its record. g: {
//   index, label,                   the game's number and the name its log file gets
//   white, black,                   engine specs: { name, command, args, protocol: 'xboard'|'uci',
//                                   options: [[name, value]], ponder, limit, cwd, underTest }
//   variant: 'normal'|'nocastle'|'fischerandom', fen (or null), opening: [chessops moves],
//   tc: parseTimeControl(...), plyCap, hangGraceMs, outDir (logs and games.pgn), event, round }
// A fault of a side under test counts in the record's fault lists, one of any other side in
// peerFaults; a disagreement with the referee always counts.
export async function playGame(g) {
  const chess960 = g.variant === 'fischerandom';
  const startFen = g.fen || (g.variant === 'nocastle' ? NOCASTLE_FEN : null);
  const pos = startFen ? positionFromFen(startFen) : Chess.default();
  if (pos instanceof Error) throw pos;
  const logLines = [];
  const t0 = Date.now();
  const log = (line) => logLines.push(`${String(Date.now() - t0).padStart(7)} ${line}`);
  const record = {
    index: g.index, series: g.series, white: g.white.name, black: g.black.name, variant: g.variant,
    tc: g.tc.text, ponder: !!(g.white.ponder || g.black.ponder), fen: startFen, load: os.loadavg()[0],
    result: null, reason: null, plies: 0, crashes: [], illegal: [], timeLosses: [], hangs: [],
    disagreements: [], rejected: [], maxOverrunMs: null, peerFaults: [], notes: [],
  };

  const initialPos = pos.clone();
  const game = { variant: g.variant, chess960, fen: startFen, tc: g.tc, history: [], over: false };
  const seen = new Map();
  const sans = [];
  for (const move of g.opening || []) {
    game.history.push({ move, before: pos.clone() });
    pos.play(move);
  }
  const openingPlies = game.history.length;
  seen.set(repetitionKey(pos), 1);

  const specs = { white: g.white, black: g.black };
  const engines = { white: new Engine(g.white, log, 'W'), black: new Engine(g.black, log, 'B') };
  const sides = {};
  for (const c of ['white', 'black']) {
    const Side = specs[c].protocol === 'uci' ? UciSide : XboardSide;
    sides[c] = new Side(engines[c], specs[c], record.notes);
  }
  const fault = (color, kind, detail) => {
    const entry = { side: color, engine: specs[color].name, detail };
    if (specs[color].underTest !== false || kind === 'disagreements') record[kind].push(entry);
    else record.peerFaults.push({ kind, ...entry });
  };

  let end = null;
  const loses = (color) => (color === 'white' ? '0-1' : '1-0');
  await Promise.all(['white', 'black'].map(async (c) => {
    try {
      await sides[c].start(game);
    } catch (error) {
      const what = engines[c].exited ? 'crashes' : 'hangs';
      fault(c, what, `at the start: ${error.message}`);
      end = end || { result: '*', reason: `${c} did not start` };
    }
  }));

  const clocks = { white: g.tc.baseMs ?? 0, black: g.tc.baseMs ?? 0, made: { white: 0, black: 0 } };
  const graceMs = g.hangGraceMs ?? 15000;
  const plyCap = g.plyCap ?? 400;
  end = end || adjudicate(pos, seen);
  while (!end) {
    const color = pos.turn;
    const other = color === 'white' ? 'black' : 'white';
    const engine = engines[color];
    const side = sides[color];
    const limit = specs[color].limit;
    const schedBefore = engine.schedMs();
    const started = await side.think(game, clocks, color);
    const sentAt = typeof started === 'number' ? started : started.at;
    if (started.fault) {
      fault(color, started.fault, started.detail);
      end = { result: loses(color), reason: `${color} ${started.fault === 'crashes' ? 'crashed' : 'hung'}` };
      break;
    }
    // The most this move may take: a limit has no clock, only a point where it is taken as hung.
    let allowed;
    if (limit) allowed = limit.kind === 'movetime' ? limit.value : g.limitHangMs ?? 120000;
    else allowed = g.tc.perMoveMs ?? clocks[color];
    const reply = await side.answer(sentAt + allowed + graceMs);
    if (!reply) {
      if (engine.exited) fault(color, 'crashes', `exit ${engine.exited.code} signal ${engine.exited.signal}${engine.exited.error ? ` (${engine.exited.error})` : ''} at ply ${record.plies}`);
      else fault(color, 'hangs', `no move ${allowed + graceMs} ms after its turn began`);
      end = { result: loses(color), reason: `${color} ${engine.exited ? 'crashed' : 'hung'}` };
      break;
    }
    if (reply.kind === 'refused') {
      fault(color, 'rejected', `${reply.line} (referee: legal)`);
      end = { result: '*', reason: `${color} refused a legal move` };
      break;
    }
    if (reply.kind === 'resign') {
      end = { result: loses(color), reason: `${color} resigns` };
      break;
    }
    if (reply.kind === 'claim') {
      // A claim instead of a move: the referee must agree the game is over.
      const verdict = adjudicate(pos, seen);
      if (!verdict || verdict.result !== reply.result) {
        fault(color, 'disagreements', `claimed "${reply.line}" at ply ${record.plies}; referee: ${verdict ? verdict.result : 'game goes on'}`);
        end = { result: '*', reason: 'disputed claim' };
      } else end = verdict;
      break;
    }
    const elapsed = reply.at - sentAt;
    const move = readMove(reply.word, pos, chess960);
    if (!move || !pos.isLegal(move)) {
      fault(color, 'illegal', `${reply.word} at ply ${record.plies} in ${makeFen(pos.toSetup())}`);
      end = { result: loses(color), reason: `${color} illegal move ${reply.word}` };
      break;
    }

    // The clock, kept here. A side with a limit has none.
    let overrun = null;
    if (limit) {
      overrun = null;
    } else if (g.tc.perMoveMs !== undefined) {
      overrun = elapsed - g.tc.perMoveMs;
    } else {
      clocks[color] -= elapsed;
      overrun = -clocks[color];
      clocks.made[color]++;
      clocks[color] += g.tc.incMs;
      if (g.tc.moves > 0 && clocks.made[color] % g.tc.moves === 0) clocks[color] += g.tc.baseMs;
    }
    if (overrun !== null && specs[color].underTest !== false) record.maxOverrunMs = Math.max(record.maxOverrunMs ?? -Infinity, overrun);
    if (overrun !== null && overrun > 0) {
      const schedAfter = engine.schedMs();
      const sched = schedBefore && schedAfter
        ? `; ${Math.round(schedAfter.onCpu - schedBefore.onCpu)} ms on a CPU, ${Math.round(schedAfter.waiting - schedBefore.waiting)} ms waiting for one`
        : '';
      fault(color, 'timeLosses', `${overrun} ms over at ply ${record.plies} after ${elapsed} ms (load ${os.loadavg()[0].toFixed(1)}${sched})`);
      // A flag against a side that cannot mate is a draw.
      end = pos.hasInsufficientMaterial(other)
        ? { result: '1/2-1/2', reason: `${color} lost on time, ${other} cannot mate` }
        : { result: loses(color), reason: `${color} lost on time` };
      break;
    }

    sans.push(makeSan(pos, move));
    game.history.push({ move, before: pos.clone() });
    pos.play(move);
    side.played(game);
    record.plies++;
    const key = repetitionKey(pos);
    seen.set(key, (seen.get(key) || 0) + 1);
    end = adjudicate(pos, seen);
    if (!end && record.plies >= plyCap) end = { result: '1/2-1/2', reason: 'adjudicated: length' };
    game.over = !!end;
    if (end) {
      // The mover may claim the end in the same breath; collect what both say about it. A move
      // played after the end is no fault: the interface ends the game and ignores it.
      await sides[other].finish(game);
      await new Promise((r) => setTimeout(r, 300));
      for (const c of ['white', 'black']) {
        for (const line of sides[c].claims()) {
          const m = line.match(RESULT_LINE);
          if (m[1] !== end.result && !end.reason.startsWith('adjudicated')) {
            fault(c, 'disagreements', `claimed "${line}"; referee: ${end.result} (${end.reason})`);
          }
        }
      }
    } else {
      // A claim printed right after a legal move, with the game going on, is a disagreement.
      for (const line of side.lateClaims()) {
        fault(color, 'disagreements', `claimed "${line}" after its move at ply ${record.plies}; referee: game goes on`);
      }
      side.afterMove(game, clocks, color);
    }
  }

  record.result = end.result;
  record.reason = end.reason;
  for (const c of ['white', 'black']) {
    if (!engines[c].exited) {
      await sides[c].finish(game);
      sides[c].end(end.result, end.reason);
    }
  }
  await Promise.all([engines.white.quit(), engines.black.quit()]);
  for (const c of ['white', 'black']) {
    const e = engines[c];
    if (e.exited && (e.exited.signal || (e.exited.code !== 0 && e.exited.code !== null)) &&
        !record.crashes.some((f) => f.side === c) && !record.peerFaults.some((f) => f.side === c && f.kind === 'crashes')) {
      fault(c, 'crashes', `at quit: code ${e.exited.code} signal ${e.exited.signal}`);
    }
    if (sides[c].stats) record[`${c}Ponder`] = sides[c].stats;
  }
  record.notes = [...new Set(record.notes)];
  record.bitbaseMessages = engines.white.bitbaseMessages + engines.black.bitbaseMessages;
  record.seconds = (Date.now() - t0) / 1000;
  record.clocksMs = { white: Math.round(clocks.white), black: Math.round(clocks.black) };

  const now = new Date();
  const tags = {
    Event: g.event || 'Tolvane referee', Site: os.hostname(),
    Date: `${now.getUTCFullYear()}.${pad2(now.getUTCMonth() + 1)}.${pad2(now.getUTCDate())}`,
    Round: g.round ?? g.index + 1, White: g.white.name, Black: g.black.name, Result: end.result,
    TimeControl: g.tc.text, Termination: termination(end.reason), PlyCount: openingPlies + record.plies,
  };
  if (chess960) tags.Variant = 'Chess960';
  // The opening is part of the game record; a start other than the usual one needs its FEN.
  const openingSans = [];
  const walk = initialPos.clone();
  for (const { move } of game.history.slice(0, openingPlies)) {
    openingSans.push(makeSan(walk, move));
    walk.play(move);
  }
  if (startFen && (startFen !== INITIAL_FEN || chess960)) Object.assign(tags, { SetUp: '1', FEN: startFen });
  const startPly = (initialPos.fullmoves - 1) * 2 + (initialPos.turn === 'black' ? 1 : 0);
  record.pgn = pgnText(tags, [...openingSans, ...sans], end.result, end.reason, startPly);

  if (g.outDir) {
    const bad = FAULT_KINDS.some((k) => record[k].length);
    fs.mkdirSync(path.join(g.outDir, 'games'), { recursive: true });
    const name = `${String(g.index).padStart(4, '0')}-${g.label || g.series || 'game'}${bad ? '-FAULT' : ''}.log`;
    const { pgn, ...summary } = record;
    fs.writeFileSync(path.join(g.outDir, 'games', name), [JSON.stringify(summary), ...logLines].join('\n') + '\n');
    fs.appendFileSync(path.join(g.outDir, 'games.pgn'), record.pgn);
  }
  return record;
}
