#!/usr/bin/env node
// A match of engine A against engine B under the referee: openings from a fixed set, each played
// twice with the colours reversed; prints every game, then W-D-L, the score and the Elo difference.
//
//   node scripts/match.mjs --a build/release/tolvane --b build/release/tolvane --games 200 \
//        --a-option Threads=2 --b-option Threads=1
//   node scripts/match.mjs --a build/release/tolvane --b phalanx --games 40
//
// Run with --help for every option. Exits 1 when either engine crashed, hung, lost on time,
// played an illegal move, refused a legal one or claimed a result the rules do not give.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import {
  FAULT_KINDS, chess960Fen, parseLimit, parseTimeControl, playGame, readOpenings,
} from './referee/referee.mjs';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');

const HELP = `node scripts/match.mjs --a ENGINE --b ENGINE [options]

ENGINE is a command line (program and arguments) or one of the names
  ${'tolvane (build/release/tolvane, UCI), phalanx (xboard), gnuchess (gnuchess --uci), fairymax, sjeng,'}
  hoichess (xboard), stockfish, toga2, glaurung (UCI)

  --games N             games to play (default 100); openings in order, each twice, colours swapped
  --tc TC               time control for both: 10+0.1 (default), 40/20, 5, 40/20+0.1 or st=0.2
  --hash MB             hash table of each engine (default 32): UCI Hash, xboard "memory"
  --openings FILE       opening lines (default scripts/openings.txt)
  --chess960            Chess960 start positions instead of the openings (see --seed)
  --shredder            Chess960 castling rights as rook files (HAha) instead of KQkq
  --seed N              first Chess960 start position number (default 0)
  --jobs N              games at a time (default 1)
  --out DIR             games.pgn, results.jsonl and each game's pipe traffic (default a new temp folder)
  --max-plies N         a game this long is adjudicated a draw (default 600)
  --grace-ms MS         past its clock by this much, an engine that has not moved hangs (default 5000)
For each side, X being a or b:
  --X-protocol P        uci or xboard (default: the name's, else uci)
  --X-name NAME         name in the PGN and the table
  --X-option NAME=VALUE engine option, repeatable: UCI setoption; xboard "cores N" for Threads
                        (feature smp=1), "memory N" for Hash (feature memory=1), else option NAME=VALUE
  --X-ponder            the engine ponders (UCI go ponder / ponderhit / stop; xboard "hard")
  --X-limit L           depth=N, nodes=N (UCI only) or movetime=MS instead of the clock
  --X-dir DIR           the engine's working folder (its ini file, book); default a fresh empty one`;

const PRESETS = {
  tolvane: { command: path.join(repo, 'build/release/tolvane'), args: [], protocol: 'uci' },
  phalanx: { command: '/usr/games/phalanx', args: ['-l-'], protocol: 'xboard' },
  // Debian's GNU Chess 6.2.7 in xboard mode answers a pipe late or not at all; its UCI mode plays.
  gnuchess: { command: '/usr/games/gnuchess', args: ['--uci'], protocol: 'uci' },
  fairymax: { command: '/usr/games/fairymax', args: [], protocol: 'xboard' },
  sjeng: { command: '/usr/games/sjeng', args: [], protocol: 'xboard' },
  hoichess: { command: '/usr/games/hoichess', args: [], protocol: 'xboard' },
  stockfish: { command: '/usr/games/stockfish', args: [], protocol: 'uci' },
  toga2: { command: '/usr/games/toga2', args: [], protocol: 'uci' },
  glaurung: { command: '/usr/games/glaurung', args: [], protocol: 'uci' },
};

// ---------------------------------------------------------------------------------------------
// Options

function readArgs(argv) {
  const flags = new Set(['chess960', 'shredder', 'a-ponder', 'b-ponder', 'help']);
  const repeated = new Set(['a-option', 'b-option']);
  const known = new Set(['a', 'b', 'games', 'tc', 'hash', 'openings', 'seed', 'jobs', 'out', 'max-plies',
    'grace-ms', 'a-protocol', 'b-protocol', 'a-name', 'b-name', 'a-limit', 'b-limit', 'a-dir', 'b-dir']);
  const opts = { 'a-option': [], 'b-option': [] };
  for (let i = 0; i < argv.length; i++) {
    const name = argv[i].startsWith('--') ? argv[i].slice(2) : null;
    if (name !== null && flags.has(name)) opts[name] = true;
    else if (name !== null && (known.has(name) || repeated.has(name))) {
      if (i + 1 >= argv.length) throw new Error(`--${name} needs a value`);
      if (repeated.has(name)) opts[name].push(argv[++i]);
      else opts[name] = argv[++i];
    } else throw new Error(`unknown argument "${argv[i]}" (--help lists them)`);
  }
  return opts;
}

function number(text, what, least) {
  const n = Number(text);
  if (!Number.isInteger(n) || n < least) throw new Error(`${what} must be a whole number from ${least}, not "${text}"`);
  return n;
}

function engineSpec(opts, x, hashMb) {
  const text = opts[x];
  if (!text) throw new Error(`--${x} is needed (--help lists the options)`);
  const words = text.trim().split(/\s+/);
  const preset = words.length === 1 ? PRESETS[words[0]] : undefined;
  const command = preset ? preset.command : path.isAbsolute(words[0]) || !words[0].includes('/') ? words[0] : path.resolve(words[0]);
  const onPath = (name) => (process.env.PATH || '').split(':').some((d) => d && fs.existsSync(path.join(d, name)));
  if (command.includes('/') ? !fs.existsSync(command) : !onPath(command)) throw new Error(`--${x}: no program ${command}`);
  const protocol = opts[`${x}-protocol`] || preset?.protocol || 'uci';
  if (protocol !== 'uci' && protocol !== 'xboard') throw new Error(`--${x}-protocol is uci or xboard, not "${protocol}"`);
  const options = opts[`${x}-option`].map((o) => {
    const eq = o.indexOf('=');
    if (eq <= 0) throw new Error(`--${x}-option "${o}": use NAME=VALUE`);
    return [o.slice(0, eq).trim(), o.slice(eq + 1).trim()];
  });
  if (!options.some(([k]) => /^(hash|memory)$/i.test(k))) options.unshift(['Hash', String(hashMb)]);
  const limit = parseLimit(opts[`${x}-limit`]);
  if (limit && limit.kind === 'nodes' && protocol === 'xboard') throw new Error(`--${x}-limit nodes: xboard has no node limit`);
  const dir = opts[`${x}-dir`] ? path.resolve(opts[`${x}-dir`]) : undefined;
  if (dir && !fs.existsSync(dir)) throw new Error(`--${x}-dir: no folder ${dir}`);
  return {
    name: opts[`${x}-name`] || path.basename(command), command, args: preset ? preset.args : words.slice(1),
    protocol, options, ponder: !!opts[`${x}-ponder`], limit, cwd: dir, underTest: true,
  };
}

// ---------------------------------------------------------------------------------------------
// Elo

// The Elo difference from the score by the logistic model, D = -400 log10(1/s - 1). The error bar
// comes from the per-game score variance (the trinomial model: each game scores 1, 1/2 or 0 with
// the frequencies seen), s +- 1.96 sqrt(var / N), each end turned into Elo the same way.
export function eloSummary(wins, draws, losses) {
  const n = wins + draws + losses;
  if (n === 0) return null;
  const s = (wins + draws / 2) / n;
  const variance = (wins * (1 - s) ** 2 + draws * (0.5 - s) ** 2 + losses * s ** 2) / n;
  const half = 1.96 * Math.sqrt(variance / n);
  const elo = (p) => (p <= 0 ? -Infinity : p >= 1 ? Infinity : -400 * Math.log10(1 / p - 1));
  return { score: s, elo: elo(s), low: elo(s - half), high: elo(s + half) };
}

const signed = (x) => (Number.isFinite(x) ? `${x >= 0 ? '+' : ''}${x.toFixed(1)}` : x > 0 ? '+inf' : '-inf');

// ---------------------------------------------------------------------------------------------
// The run

async function main() {
  const opts = readArgs(process.argv.slice(2));
  if (opts.help) {
    console.log(HELP);
    return 0;
  }
  const games = number(opts.games ?? '100', '--games', 1);
  const jobs = number(opts.jobs ?? '1', '--jobs', 1);
  const hashMb = number(opts.hash ?? '32', '--hash', 1);
  const seed = number(opts.seed ?? '0', '--seed', 0);
  const plyCap = number(opts['max-plies'] ?? '600', '--max-plies', 1);
  const graceMs = number(opts['grace-ms'] ?? '5000', '--grace-ms', 0);
  const tc = parseTimeControl(opts.tc ?? '10+0.1');
  const a = engineSpec(opts, 'a', hashMb);
  const b = engineSpec(opts, 'b', hashMb);
  if (a.name === b.name) {
    const label = (s) => s.options.filter(([k]) => !/^hash$/i.test(k)).map(([k, v]) => `${k}=${v}`).join(' ');
    const [la, lb] = [label(a), label(b)];
    if (la !== lb) [a.name, b.name] = [`${a.name} ${la || 'default'}`, `${b.name} ${lb || 'default'}`];
    else [a.name, b.name] = [`${a.name} A`, `${b.name} B`];
  }
  const variant = opts.chess960 ? 'fischerandom' : 'normal';
  const openings = opts.chess960 ? null : readOpenings(path.resolve(opts.openings || path.join(repo, 'scripts/openings.txt')));
  const outDir = path.resolve(opts.out || fs.mkdtempSync(path.join(os.tmpdir(), 'tolvane-match-')));
  fs.mkdirSync(outDir, { recursive: true });
  const resultsFile = path.join(outDir, 'results.jsonl');

  console.log(`${a.name} (${a.protocol}) vs ${b.name} (${b.protocol}): ${games} games at ${tc.text}, ` +
    `${jobs} at a time; games and pipe traffic in ${outDir}`);
  const tally = { w: 0, d: 0, l: 0, unfinished: 0 };
  const faults = { [a.name]: Object.fromEntries(FAULT_KINDS.map((k) => [k, 0])), [b.name]: Object.fromEntries(FAULT_KINDS.map((k) => [k, 0])) };
  const quitCrashes = {};  // an engine that ends badly on "quit" has still played its game
  const ponder = { hits: 0, misses: 0, slowestStopMs: 0 };
  const notes = new Set();
  let next = 0;
  let done = 0;
  async function worker() {
    while (next < games) {
      const i = next++;
      const pair = Math.floor(i / 2);
      const aWhite = i % 2 === 0;
      let fen = null;
      let opening = [];
      if (openings) ({ fen, moves: opening } = openings[pair % openings.length]);
      else fen = chess960Fen((seed + pair) % 960, !!opts.shredder);
      const r = await playGame({
        index: i, label: `game${i + 1}`, series: 'match', white: aWhite ? a : b, black: aWhite ? b : a,
        variant, fen, opening, tc, plyCap, hangGraceMs: graceMs, outDir, event: `${a.name} vs ${b.name}`, round: i + 1,
      });
      const { pgn, ...summary } = r;
      fs.appendFileSync(resultsFile, JSON.stringify(summary) + '\n');
      const aPoints = r.result === '1/2-1/2' ? 0.5 : r.result === '1-0' ? (aWhite ? 1 : 0) : r.result === '0-1' ? (aWhite ? 0 : 1) : null;
      if (aPoints === null) tally.unfinished++;
      else if (aPoints === 1) tally.w++;
      else if (aPoints === 0) tally.l++;
      else tally.d++;
      const gameFaults = [];
      for (const k of FAULT_KINDS) {
        for (const f of r[k]) {
          faults[f.engine][k]++;
          if (k === 'crashes' && f.detail.startsWith('at quit')) quitCrashes[f.engine] = (quitCrashes[f.engine] || 0) + 1;
          gameFaults.push(`${f.engine} ${k}: ${f.detail}`);
        }
      }
      for (const c of ['white', 'black']) {
        const p = r[`${c}Ponder`];
        if (p) {
          ponder.hits += p.ponderHits;
          ponder.misses += p.ponderMisses;
          ponder.slowestStopMs = Math.max(ponder.slowestStopMs, p.slowestStopMs);
        }
      }
      for (const n of r.notes) if (!notes.has(n)) { notes.add(n); console.log(`note: ${n}`); }
      done++;
      console.log(`game ${i + 1}/${games}: ${r.white} - ${r.black} ${r.result} (${r.reason}), ${r.plies} plies; ` +
        `${a.name} ${tally.w + tally.d / 2}/${done - tally.unfinished}${gameFaults.length ? `; FAULT ${gameFaults.join('; ')}` : ''}`);
    }
  }
  await Promise.all(Array.from({ length: Math.min(jobs, games) }, worker));

  const e = eloSummary(tally.w, tally.d, tally.l);
  const lines = [];
  lines.push(`${a.name} vs ${b.name}: +${tally.w} =${tally.d} -${tally.l}` + (tally.unfinished ? `, ${tally.unfinished} unfinished` : '') +
    ` (W-D-L ${tally.w}-${tally.d}-${tally.l})`);
  if (e) {
    lines.push(`score ${(e.score * 100).toFixed(1)}% (${tally.w + tally.d / 2}/${tally.w + tally.d + tally.l})`);
    if (Number.isFinite(e.elo)) {
      lines.push(`Elo ${signed(e.elo)} +- ${Number.isFinite(e.high - e.low) ? ((e.high - e.low) / 2).toFixed(1) : 'inf'} ` +
        `(95%: ${signed(e.low)} .. ${signed(e.high)})`);
    } else lines.push(`Elo ${signed(e.elo)}: every game ${e.score > 0 ? 'won' : 'lost'}, no finite estimate`);
  }
  for (const name of [a.name, b.name]) {
    const atQuit = quitCrashes[name] ? ` (${quitCrashes[name]} at quit, after the game)` : '';
    lines.push(`${name}: ${FAULT_KINDS.map((k) => `${k} ${faults[name][k]}${k === 'crashes' ? atQuit : ''}`).join(', ')}`);
  }
  if (a.ponder || b.ponder) lines.push(`ponder hits ${ponder.hits}, misses ${ponder.misses}, slowest answer to stop ${ponder.slowestStopMs} ms`);
  lines.push(`PGN: ${path.join(outDir, 'games.pgn')}`);
  console.log(lines.join('\n'));
  fs.writeFileSync(path.join(outDir, 'summary.txt'), lines.join('\n') + '\n');
  return Object.values(faults).some((f) => Object.values(f).some((n) => n > 0)) ? 1 : 0;
}

try {
  process.exitCode = await main();
} catch (error) {
  console.error(`match: ${error.message}`);
  process.exitCode = 2;
}
