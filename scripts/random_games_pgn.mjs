#!/usr/bin/env node
// Writes a PGN collection of legal games for measuring tolvane-book: openings that repeat as in
// real collections (each position prefers its moves in a fixed order), then random play, with
// tags, ratings, clock comments, NAGs and variations. The rules and the SAN come from the
// chessops package, so the games are checked by a program other than the engine.
//
//   npm install chessops            (in this folder or any parent of it)
//   node scripts/random_games_pgn.mjs GAMES [SEED] > games.pgn
import { Chess } from 'chessops/chess';
import { makeSan } from 'chessops/san';
import { makeBoardFen } from 'chessops/fen';

const games = parseInt(process.argv[2] || '1000', 10);
let seed = parseInt(process.argv[3] || '1', 10) >>> 0;

// mulberry32: small, fast and reproducible.
function random() {
  seed = (seed + 0x6d2b79f5) >>> 0;
  let t = seed;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
const pick = (list) => list[Math.floor(random() * list.length)];

function legalMoves(pos) {
  const moves = [];
  for (const [from, tos] of pos.allDests()) {
    for (const to of tos) {
      const promotes = pos.board.get(from).role === 'pawn' && (to >= 56 || to < 8);
      moves.push(promotes ? { from, to, promotion: random() < 0.9 ? 'queen' : 'knight' } : { from, to });
    }
  }
  return moves;
}

// A fixed preference per position and move, so that popular lines come back game after game.
function preference(key, move) {
  let h = 2166136261;
  const text = `${key} ${move.from} ${move.to}`;
  for (let i = 0; i < text.length; i++) h = Math.imul(h ^ text.charCodeAt(i), 16777619);
  return h >>> 0;
}

// Opening plies follow the preferences, each next choice a little less likely; later plies are random.
function chooseMove(pos, moves, ply) {
  if (ply >= 30) return pick(moves);
  const key = `${makeBoardFen(pos.board)} ${pos.turn}`;
  moves.sort((a, b) => preference(key, a) - preference(key, b));
  let i = 0;
  while (i + 1 < moves.length && random() < 0.45) i++;
  return moves[i];
}

function clock(seconds) {
  const s = Math.max(0, Math.floor(seconds));
  return `${Math.floor(s / 3600)}:${String(Math.floor(s / 60) % 60).padStart(2, '0')}:${String(s % 60).padStart(2, '0')}`;
}

const names = ['Carlsen', 'Nakamura', 'Caruana', 'Ding', 'Firouzja', 'Giri', 'So', 'Aronian', 'Rapport', 'Duda'];
const out = [];
for (let g = 1; g <= games; g++) {
  const pos = Chess.default();
  const length = 40 + Math.floor(random() * 100);
  const annotated = random() < 0.3;
  const words = [];
  const clocks = [600, 600];
  let plies = 0;
  let moves = legalMoves(pos);
  for (; plies < length && moves.length; plies++) {
    const move = chooseMove(pos, moves, plies);
    if (plies % 2 === 0) words.push(`${plies / 2 + 1}.`);
    words.push(makeSan(pos, move) + (annotated && random() < 0.03 ? pick(['!', '?', '!?', '?!']) : ''));
    if (annotated) {
      clocks[plies % 2] -= random() * 20;
      words.push(`{ [%clk ${clock(clocks[plies % 2])}] }`);
      if (random() < 0.04) words.push(`$${1 + Math.floor(random() * 18)}`);
      if (random() < 0.03 && plies > 4) {
        // A variation from the position before this move.
        const side = pos.clone();
        const alternative = [];
        for (let k = 0, n = 1 + Math.floor(random() * 5); k < n; k++) {
          const options = legalMoves(side);
          if (!options.length) break;
          const m = pick(options);
          alternative.push(makeSan(side, m));
          side.play(m);
        }
        if (alternative.length) {
          const number = `${Math.floor(plies / 2) + 1}${plies % 2 ? '...' : '.'}`;
          words.push(`(${number} ${alternative.join(' ')} {an idea})`);
        }
      }
    }
    pos.play(move);
    moves = legalMoves(pos);
  }
  let result;
  if (!moves.length && pos.isCheck()) result = pos.turn === 'white' ? '0-1' : '1-0';
  else if (!moves.length) result = '1/2-1/2';
  else {
    const r = random();
    result = r < 0.38 ? '1-0' : r < 0.68 ? '1/2-1/2' : '0-1';
  }
  words.push(result);
  out.push(`[Event "Generated ${Math.ceil(g / 100)}"]`, '[Site "?"]',
    `[Date "2024.${String(1 + (g % 12)).padStart(2, '0')}.01"]`, `[Round "${(g % 9) + 1}"]`,
    `[White "${pick(names)}"]`, `[Black "${pick(names)}"]`, `[Result "${result}"]`,
    `[WhiteElo "${2300 + Math.floor(random() * 500)}"]`, `[BlackElo "${2300 + Math.floor(random() * 500)}"]`,
    '[ECO "C00"]', `[PlyCount "${plies}"]`, '');
  // Movetext wrapped near 80 columns, as exporters do.
  let line = '';
  for (const w of words) {
    if (line && line.length + 1 + w.length > 79) {
      out.push(line);
      line = w;
    } else line = line ? `${line} ${w}` : w;
  }
  out.push(line, '');
  if (out.length > 10000) {
    process.stdout.write(out.join('\n') + '\n');
    out.length = 0;
  }
}
process.stdout.write(out.join('\n') + (out.length ? '\n' : ''));
