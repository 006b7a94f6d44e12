#!/usr/bin/env node
// Soak referee: many games through the real pipe protocols, xboard and UCI, Tolvane against itself
// and the engines installed here, with one to four search threads, the rules and the clocks kept
// outside every engine.
//
//   node scripts/soak/soak.mjs --engine build/release/tolvane [--check-engine build/check/tolvane]
//        [--jobs 2] [--out DIR] [--only SERIES,...] [--scale F] [--list]
//
// The games are played by the referee (scripts/referee/referee.mjs), which installs its rules
// library on first use. Every game writes its full pipe traffic to DIR/games/, its PGN to
// DIR/games.pgn, one JSON line to DIR/results.jsonl, and the end prints the table of crashes,
// illegal moves, time losses, hangs and results that disagree with the referee.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {
  Chess, Engine, FAULT_KINDS, chess960Fen, parseLimit, parseTimeControl, parseUci, playGame, readMove,
} from '../referee/referee.mjs';

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
// The games to play: series of one pairing, protocol, threads, variant, time control and pondering.

const TOLVANE = { name: 'tolvane', command: engineBinary, args: [], protocol: 'xboard' };
const TOLVANE_UCI = { ...TOLVANE, name: 'tolvane-uci', protocol: 'uci' };
const CHECKED = { name: 'tolvane-check', command: checkBinary, args: [], protocol: 'xboard' };
// Threads over xboard are "cores N", sent when the engine offers feature smp=1.
const threaded = (spec, n) => ({ ...spec, name: `${spec.name}-t${n}`, options: [['Threads', String(n)]], threads: n });
// The bitbase library replaced by a faulty one: impossible scores, no entries, not a library.
const testLibraries = path.join(path.dirname(engineBinary), 'test-egbb');
const FAULTY = {
  garbage: { ...TOLVANE, name: 'tolvane-garbage-egbb', egbb: path.join(testLibraries, 'garbage_scores') },
  entries: { ...TOLVANE, name: 'tolvane-no-entries-egbb', egbb: path.join(testLibraries, 'no_entries') },
  notlib: { ...TOLVANE, name: 'tolvane-not-a-library-egbb', egbb: 'not-a-library' },
};
const PEERS = {
  fairymax: { name: 'fairymax', command: '/usr/games/fairymax', args: [], protocol: 'xboard' },
  phalanx: { name: 'phalanx', command: '/usr/games/phalanx', args: ['-l-'], protocol: 'xboard' },
  sjeng: { name: 'sjeng', command: '/usr/games/sjeng', args: [], protocol: 'xboard' },
  hoichess: { name: 'hoichess', command: '/usr/games/hoichess', args: [], protocol: 'xboard' },
  // Debian's GNU Chess 6.2.7 in xboard mode answers a pipe late or not at all (its pongs come in
  // bursts, a "go" brings no move); its UCI mode plays.
  gnuchess: { name: 'gnuchess', command: '/usr/games/gnuchess', args: ['--uci'], protocol: 'uci' },
};
const FAST = parseTimeControl('1+0.01');
const QUICK = parseTimeControl('2+0.1');
const SESSION = parseTimeControl('40/10');
const PER_MOVE = parseTimeControl('st=0.05');
const PER_MOVE_WHOLE = parseTimeControl('st=1');

function series(name, opponent, variant, tc, games, extra = {}) {
  return { name, engine: extra.engine || TOLVANE, opponent, variant, tc, games, ponder: !!extra.ponder,
           endgames: !!extra.endgames, limit: extra.limit ? parseLimit(extra.limit) : null };
}
const T2 = threaded(TOLVANE, 2);
const T4 = threaded(TOLVANE, 4);
const U2 = threaded(TOLVANE_UCI, 2);
const U4 = threaded(TOLVANE_UCI, 4);
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
  series('uci-fast-normal', TOLVANE_UCI, 'normal', FAST, 60, { engine: TOLVANE_UCI }),
  series('uci-fast-nocastle', TOLVANE_UCI, 'nocastle', FAST, 20, { engine: TOLVANE_UCI }),
  series('uci-fast-960', TOLVANE_UCI, 'fischerandom', FAST, 40, { engine: TOLVANE_UCI }),
  series('uci-st005-normal', TOLVANE_UCI, 'normal', PER_MOVE, 20, { engine: TOLVANE_UCI }),
  series('uci-session-normal', TOLVANE_UCI, 'normal', SESSION, 4, { engine: TOLVANE_UCI }),
  series('uci-ponder-normal', TOLVANE_UCI, 'normal', QUICK, 16, { engine: TOLVANE_UCI, ponder: true }),
  series('uci-ponder-960', TOLVANE_UCI, 'fischerandom', QUICK, 8, { engine: TOLVANE_UCI, ponder: true }),
  series('uci-depth6', TOLVANE_UCI, 'normal', QUICK, 10, { engine: TOLVANE_UCI, limit: 'depth=6' }),
  series('uci-vs-xboard', TOLVANE, 'normal', FAST, 30, { engine: TOLVANE_UCI }),
  series('threads2-xboard-fast', T2, 'normal', FAST, 40, { engine: T2 }),
  series('threads4-xboard-fast', T4, 'normal', FAST, 40, { engine: T4 }),
  series('threads2-xboard-960', T2, 'fischerandom', FAST, 20, { engine: T2 }),
  series('threads2-xboard-ponder', T2, 'normal', QUICK, 8, { engine: T2, ponder: true }),
  series('threads4-xboard-session', T4, 'normal', SESSION, 4, { engine: T4 }),
  series('threads2-uci-fast', U2, 'normal', FAST, 40, { engine: U2 }),
  series('threads4-uci-fast', U4, 'normal', FAST, 40, { engine: U4 }),
  series('threads4-uci-960', U4, 'fischerandom', FAST, 20, { engine: U4 }),
  series('threads2-uci-ponder', U2, 'normal', QUICK, 8, { engine: U2, ponder: true }),
  series('threads4-uci-st005', U4, 'normal', PER_MOVE, 10, { engine: U4 }),
  series('threads2-vs-1-uci', TOLVANE_UCI, 'normal', FAST, 20, { engine: U2 }),
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
  series('gnuchess-uci-fast', PEERS.gnuchess, 'normal', FAST, 30, { engine: TOLVANE_UCI }),
  series('gnuchess-uci-quick', PEERS.gnuchess, 'normal', QUICK, 6, { engine: TOLVANE_UCI }),
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

// ---------------------------------------------------------------------------------------------
// One game of a series

const isTolvane = (spec) => spec.name.startsWith('tolvane');

// A side as the referee plays it: its folder, whether its faults count, and the series' pondering.
function side(spec, s) {
  const cwd = isTolvane(spec) ? engineFolder(spec) : undefined;
  return { ...spec, cwd, underTest: isTolvane(spec), ponder: s.ponder,
           limit: isTolvane(spec) && s.engine === spec ? s.limit : null };
}

async function playSeriesGame(index, s, gameNumber) {
  const white = gameNumber % 2 === 0 ? s.engine : s.opponent;
  const black = gameNumber % 2 === 0 ? s.opponent : s.engine;
  let fen = null;
  let opening = [];
  if (s.variant === 'fischerandom') fen = chess960Fen((index * 137 + 518) % 960, index % 2 === 0);
  else if (s.endgames) fen = ENDGAMES[Math.floor(gameNumber / 2) % ENDGAMES.length];
  else {
    const pos = Chess.default();
    for (const word of OPENINGS[Math.floor(gameNumber / 2) % OPENINGS.length]) {
      const move = readMove(word, pos, false);
      opening.push(move);
      pos.play(move);
    }
  }
  const r = await playGame({
    index, series: s.name, label: s.name, white: side(white, s), black: side(black, s), variant: s.variant,
    fen, opening, tc: s.tc, plyCap: GAME_PLY_CAP, hangGraceMs: HANG_GRACE_MS, outDir, event: `soak ${s.name}`,
  });
  r.protocol = [...new Set([s.engine.protocol, s.opponent.protocol])].join('/');
  r.threads = [...new Set([s.engine.threads || 1, s.opponent.threads || 1])].join('/');
  if (s.limit) r.tc = `${s.limit.kind} ${s.limit.value}`;
  return r;
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

const KINDS = FAULT_KINDS;

function table(records) {
  const rows = new Map();
  for (const r of records) {
    if (!rows.has(r.series)) {
      rows.set(r.series, { games: 0, protocol: r.protocol, threads: r.threads, variant: r.variant, tc: r.tc, ponder: r.ponder, opponent: '', ...Object.fromEntries(KINDS.map((k) => [k, 0])), peer: 0, over: -Infinity, seconds: 0 });
    }
    const row = rows.get(r.series);
    row.games++;
    row.opponent = r.white.startsWith('tolvane') ? r.black : r.white;
    for (const k of KINDS) row[k] += r[k].length;
    row.peer += r.peerFaults.length;
    if (r.maxOverrunMs !== null) row.over = Math.max(row.over, r.maxOverrunMs);
    row.seconds += r.seconds;
  }
  const head = ['series', 'games', 'protocol', 'threads', 'variant', 'time control', 'ponder', 'crash', 'illegal', 'time', 'hang', 'disagree', 'refused', 'peer faults', 'closest ms'];
  const lines = [head.join(' | ')];
  const total = { games: 0, ...Object.fromEntries(KINDS.map((k) => [k, 0])), peer: 0 };
  for (const [name, row] of rows) {
    lines.push([name, row.games, row.protocol, row.threads, row.variant, row.tc, row.ponder ? 'on' : 'off', row.crashes, row.illegal, row.timeLosses,
      row.hangs, row.disagreements, row.rejected, row.peer, row.over === -Infinity ? '-' : row.over].join(' | '));
    total.games += row.games;
    for (const k of KINDS) total[k] += row[k];
    total.peer += row.peer;
  }
  lines.push(['total', total.games, '', '', '', '', '', total.crashes, total.illegal, total.timeLosses, total.hangs,
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
  const engine = new Engine({ ...TOLVANE, cwd: tolvaneFolder }, (l) => logLines.push(`${String(Date.now() - t0).padStart(9)} ${l}`), 'A');
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
  const engine = new Engine({ ...TOLVANE, cwd: tolvaneFolder }, (l) => logLines.push(`${String(Date.now() - t0).padStart(9)} ${l}`), 'L');
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
const notes = new Set();  // what an engine did not offer: said once
console.log(`${queue.length} games, ${jobs} at a time; logs in ${outDir}`);
async function worker() {
  while (queue.length) {
    const { index: i, s, g } = queue.shift();
    const r = await playSeriesGame(i, s, g);
    delete r.pgn;
    records.push(r);
    fs.appendFileSync(resultsFile, JSON.stringify(r) + '\n');
    for (const n of r.notes) if (!notes.has(n)) { notes.add(n); console.log(`note: ${n}`); }
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
