// Books from game collections: the moves of every kept position tallied, then written most played first.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "book/book.h"

namespace {

// Where the walk under way stands with a position: not met yet, on the path being walked, done;
// the walk that forgets moves also notes the positions that keep some.
enum SlotWalk { WALK_NEW, WALK_OPEN, WALK_DONE, WALK_KEPT };

// A position of the tally, found by its placement and side to move: the two things the book's
// probe compares, whatever the castling and en-passant rights.
struct TallySlot {
    uint64_t key;    // 0: a free slot
    int first_edge;  // newest move first; -1: none
    uint16_t walk;   // a SlotWalk
    uint16_t depth;  // where the walk that forgets moves met it
};

// A move played in a position: where it leads, how often a recommended side played it, and
// what it scored the mover.
struct TallyEdge {
    uint64_t target;  // key of the position after it
    uint32_t count;
    uint32_t points;  // two for a win, one for a draw or an unknown result
    int next;
    uint16_t move;    // from * 64 + to, engine squares
};

constexpr size_t FIRST_SLOTS = 1 << 16;  // grown as the positions come, within the budget
constexpr size_t FEWEST_SLOTS = 64;
constexpr int EDGE_BLOCK_BITS = 12;      // moves are stored in blocks, so that growing never copies them
constexpr size_t EDGE_BLOCK = size_t(1) << EDGE_BLOCK_BITS;

std::vector<TallySlot> slots;
size_t slots_in_use;
std::vector<std::unique_ptr<TallyEdge[]>> edge_blocks;
size_t edge_count;

size_t memory_budget = BookTallyOptions{}.memory;  // bytes the slots and moves may take
uint32_t forget_at_most;  // the count up to which the last pass forgot moves
int forget_passes;

TallyEdge& edge(int e) { return edge_blocks[size_t(e) >> EDGE_BLOCK_BITS][size_t(e) & (EDGE_BLOCK - 1)]; }

int add_edge(const TallyEdge& move) {
    if (edge_count == edge_blocks.size() * EDGE_BLOCK) edge_blocks.emplace_back(new TallyEdge[EDGE_BLOCK]);
    edge(int(edge_count)) = move;
    return int(edge_count++);
}

// The engine's own key, kept by make_move, less its castling and en-passant parts; 0 marks free slots.
uint64_t position_key() {
    uint64_t key = game.hash_key ^ zobrist_castle[game.castle & 15];
    if (game.ep != NO_SQUARE) key ^= zobrist_ep[game.ep];
    return key ? key : 1;
}

// The keys are XORs of random numbers: their high half spreads evenly over a table of any size.
size_t home_of(uint64_t key) { return size_t(((key >> 32) * slots.size()) >> 32); }
size_t next_slot(size_t i) { return i + 1 < slots.size() ? i + 1 : 0; }

TallySlot* find_slot(uint64_t key) {
    for (size_t i = home_of(key);; i = next_slot(i)) {
        if (slots[i].key == key) return &slots[i];
        if (slots[i].key == 0) return nullptr;
    }
}

// Linear probing stays short below seven tenths full.
bool crowded(size_t positions, size_t table_size) { return positions * 10 > table_size * 7; }

void resize_table(size_t size) {
    std::vector<TallySlot> old(size, TallySlot{0, -1, WALK_NEW, 0});
    old.swap(slots);
    for (const TallySlot& slot : old) {
        if (slot.key == 0) continue;
        size_t i = home_of(slot.key);
        while (slots[i].key != 0) i = next_slot(i);
        slots[i] = slot;
    }
}

// The slot of a position, made when new; make_room has seen to the space.
TallySlot* add_slot(uint64_t key) {
    size_t i = home_of(key);
    while (slots[i].key != 0 && slots[i].key != key) i = next_slot(i);
    if (slots[i].key == 0) {
        slots[i] = TallySlot{key, -1, WALK_NEW, 0};
        slots_in_use++;
    }
    return &slots[i];
}

// Takes the slot out; linear probing needs the positions behind it that may fill the gap moved up.
void remove_slot(size_t hole) {
    for (size_t j = next_slot(hole); slots[j].key != 0; j = next_slot(j)) {
        size_t home = home_of(slots[j].key);
        bool reaches_hole = hole < j ? home <= hole || home > j : home <= hole && home > j;
        if (!reaches_hole) continue;
        slots[hole] = slots[j];
        hole = j;
    }
    slots[hole] = TallySlot{0, -1, WALK_NEW, 0};
    slots_in_use--;
}

// In 64 bits even where size_t is 32: a budget near the whole address space must not wrap.
uint64_t tally_bytes(size_t table_size, size_t edges) {
    return uint64_t(table_size) * sizeof(TallySlot) + uint64_t(edges) * sizeof(TallyEdge);
}

// Room for n more positions and moves within the budget, the table grown if need be. While the
// table is copied both copies count.
bool has_room(size_t n) {
    if (crowded(slots_in_use + n, slots.size())) {
        size_t needed = (slots_in_use + n) * 10 / 7 + 1;
        size_t size = std::max(slots.size() * 2, needed);
        const uint64_t others = tally_bytes(slots.size(), edge_count + n);
        if (others + tally_bytes(size, 0) > memory_budget) {
            // Whatever the budget still allows, if that is worth a copy.
            size = memory_budget > others ? size_t((memory_budget - others) / sizeof(TallySlot)) : 0;
            if (size < needed || size < slots.size() + slots.size() / 4) return false;
        }
        resize_table(size);
    }
    return tally_bytes(slots.size(), edge_count + n) <= memory_budget;
}

// With so many positions and moves half the room is free: the next pass is as far off as the
// last one was.
bool half_free(size_t positions, size_t moves) {
    return !crowded(positions * 2, slots.size()) && tally_bytes(slots.size(), moves * 2) <= memory_budget;
}

// Marks the moves of the position that stay: those played more than at_most times, and those
// leading to a position that keeps a move (a loser's move on the way to the winner's answer, a
// rare order into a popular position). Positions are walked as the book is written, from the
// start and to the same depth, so what the book could not reach is forgotten too.
bool mark_kept(TallySlot* slot, int depth, uint32_t at_most, std::vector<uint64_t>* kept) {
    slot->walk = WALK_OPEN;
    slot->depth = uint16_t(depth);
    bool any = false;
    for (int e = slot->first_edge; e >= 0; e = edge(e).next) {
        bool keep = edge(e).count > at_most;
        if (depth + 1 < BOOK_LINE_SIZE) {
            TallySlot* target = find_slot(edge(e).target);
            if (target && target->walk == WALK_NEW) mark_kept(target, depth + 1, at_most, kept);
            keep = keep || (target && target->walk == WALK_KEPT);
        }
        if (keep) (*kept)[size_t(e) >> 6] |= uint64_t(1) << (e & 63);
        any = any || keep;
    }
    slot->walk = any ? WALK_KEPT : WALK_DONE;
    return any;
}

// The depth from which the moves not marked kept are forgotten: the deepest that leaves half the
// room free, since a rare move far from the start is the least likely to be played again. 0
// when even forgetting all of them would not.
int first_depth_forgotten(const std::vector<uint64_t>& kept) {
    // Moves and positions that would go at each depth; those the walk never met go at any.
    std::vector<size_t> moves_at(BOOK_LINE_SIZE + 1, 0), positions_at(BOOK_LINE_SIZE + 1, 0);
    size_t moves_gone = 0, positions_gone = 0;
    for (const TallySlot& slot : slots) {
        if (slot.key == 0) continue;
        size_t moves = 0;
        bool keeps = false;
        for (int e = slot.first_edge; e >= 0; e = edge(e).next) {
            const bool marked = (kept[size_t(e) >> 6] >> (e & 63)) & 1;
            moves += !marked;
            keeps = keeps || marked;
        }
        const bool met = slot.walk != WALK_NEW;
        (met ? moves_at[slot.depth] : moves_gone) += moves;
        if (!keeps) (met ? positions_at[slot.depth] : positions_gone) += 1;
    }
    for (int depth = BOOK_LINE_SIZE;; depth--) {
        if (depth == 0 || half_free(slots_in_use - positions_gone, edge_count - moves_gone)) return depth;
        moves_gone += moves_at[depth - 1];
        positions_gone += positions_at[depth - 1];
    }
}

// Forgets the moves played at most at_most times that nothing kept lies behind, the deepest
// first, then the positions left with no move. The moves that stay keep their order, so the
// first met still comes first among equals. Returns the lowest count above at_most that stays.
uint32_t forget_moves(uint32_t at_most) {
    std::vector<uint64_t> kept(edge_count / 64 + 1, 0);
    TallySlot* start = find_slot(position_key());
    if (start) mark_kept(start, 0, at_most, &kept);
    // Moves above the depth found stay too.
    const int depth_forgotten = first_depth_forgotten(kept);
    for (const TallySlot& slot : slots) {
        if (slot.key == 0 || slot.walk == WALK_NEW || slot.depth >= depth_forgotten) continue;
        for (int e = slot.first_edge; e >= 0; e = edge(e).next) kept[size_t(e) >> 6] |= uint64_t(1) << (e & 63);
    }

    // A kept move's new place: the kept moves before it.
    std::vector<uint32_t> kept_before(kept.size() + 1, 0);
    for (size_t w = 0; w < kept.size(); w++) kept_before[w + 1] = kept_before[w] + uint32_t(std::popcount(kept[w]));
    auto is_kept = [&](int e) { return (kept[size_t(e) >> 6] >> (e & 63)) & 1; };
    auto new_place = [&](int e) {
        const uint64_t lower = (uint64_t(1) << (e & 63)) - 1;
        return int(kept_before[size_t(e) >> 6] + uint32_t(std::popcount(kept[size_t(e) >> 6] & lower)));
    };

    // Each position's list skips its forgotten moves and points to the new places.
    for (TallySlot& slot : slots) {
        if (slot.key == 0) continue;
        int* link = &slot.first_edge;
        for (int e = slot.first_edge; e >= 0;) {
            const int next = edge(e).next;
            if (is_kept(e)) {
                *link = new_place(e);
                link = &edge(e).next;
            }
            e = next;
        }
        *link = -1;
    }
    size_t placed = 0;
    uint32_t next_count = UINT32_MAX;
    for (size_t e = 0; e < edge_count; e++) {
        if (!is_kept(int(e))) continue;
        TallyEdge& move = edge(int(placed++)) = edge(int(e));
        if (move.count > at_most) next_count = std::min(next_count, move.count);
    }
    edge_count = placed;
    // The blocks emptied go back, so that the table may grow into their room.
    edge_blocks.resize((edge_count + EDGE_BLOCK - 1) / EDGE_BLOCK);

    // A gap closed by remove_slot may bring a later position to i: i is looked at again.
    for (size_t i = 0; i < slots.size();) {
        if (slots[i].key != 0 && slots[i].first_edge < 0) {
            remove_slot(i);
            continue;
        }
        slots[i++].walk = WALK_NEW;
    }
    return next_count;
}

// Called when the budget is reached: forgets what the book would leave out if the games ended
// here (moves below min_count with nothing playable behind them), from the deepest up until half
// the room is free. When all of them free less than that, moves played more often go too, now and at every later pass; the count rises in
// steps that grow with it, so that even a budget far too small is settled in a few passes.
void forget_rare_moves(uint32_t min_count) {
    forget_passes++;
    forget_at_most = std::max(forget_at_most, min_count - 1);
    for (;;) {
        const uint32_t next_count = forget_moves(forget_at_most);
        if (half_free(slots_in_use, edge_count) || edge_count == 0) return;
        forget_at_most = std::max(next_count, forget_at_most + forget_at_most / 4);
    }
}

// Room for n more positions and moves; past the budget rare moves are forgotten. A budget too
// small for one game's moves is outgrown rather than refused.
void make_room(size_t n, uint32_t min_count) {
    if (has_room(n)) return;
    forget_rare_moves(min_count);
    if (has_room(n)) return;
    if (crowded(slots_in_use + n, slots.size())) resize_table(std::max(slots.size() * 2, (slots_in_use + n) * 10 / 7 + 1));
}

struct KeptMove {
    uint64_t key;    // of the position before the move
    uint64_t after;  // and after it
    int move;
};

void tally_move(const KeptMove& kept, bool recommended, int points) {
    TallySlot* slot = add_slot(kept.key);
    for (int e = slot->first_edge; e >= 0; e = edge(e).next) {
        if (edge(e).move != kept.move) continue;
        edge(e).count += recommended;
        edge(e).points += points;
        return;
    }
    slot->first_edge = add_edge(TallyEdge{kept.after, uint32_t(recommended), uint32_t(points), slot->first_edge, uint16_t(kept.move)});
}

const char* const normal_variants[] = {"", "normal", "standard", "chess"};

bool is_normal_variant(const char* variant) {
    for (const char* name : normal_variants) {
        size_t i = 0;
        while (name[i] && (variant[i] | 0x20) == name[i]) i++;
        if (!name[i] && !variant[i]) return true;
    }
    return false;
}

// A FEN tag is welcome only when it names the normal start itself.
bool is_start_fen(const char* fen) {
    static const char* const fields[] = {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "w", "KQkq", "-"};
    const char* c = fen;
    for (const char* field : fields) {
        while (*c == ' ') c++;
        size_t length = std::strlen(field);
        if (std::strncmp(c, field, length) != 0 || (c[length] != ' ' && c[length] != '\0')) return false;
        c += length;
    }
    return true;
}

bool starts_normally(const PgnTags& tags) {
    if (tags.fen[0]) return is_start_fen(tags.fen);
    return std::strcmp(tags.set_up, "1") != 0;  // set up, but with no position to start from
}

struct TreeRecord {
    int depth;
    int from, to;  // book squares
    bool playable;
};

// Writes the moves of a position, most played first (then best scored, then first met), each
// followed by what lies behind it. A position is written out where the walk first meets it: the
// engine's probe collects a position's moves in the order it first finds them, so that one place
// decides their order for every line that transposes into it. A move below min_count stays only
// when something playable lies behind it. Returns whether anything was written.
bool write_position(TallySlot* slot, int depth, int min_count, std::vector<TreeRecord>* records, int* positions) {
    if (!slot || slot->walk != WALK_NEW) return false;
    slot->walk = WALK_DONE;

    // A position's moves are distinct moves of one placement: never more than a move list holds.
    int order[MAX_MOVES], moves = 0;
    for (int e = slot->first_edge; e >= 0 && moves < MAX_MOVES; e = edge(e).next) order[moves++] = e;
    std::sort(order, order + moves, [](int x, int y) {
        const TallyEdge &a = edge(x), &b = edge(y);
        if (a.count != b.count) return a.count > b.count;
        if (a.points != b.points) return a.points > b.points;
        return x < y;
    });

    const size_t start = records->size();
    bool any_playable = false;
    for (int k = 0; k < moves; k++) {
        const int e = order[k];
        const int move = edge(e).move;
        const bool playable = edge(e).count >= uint32_t(min_count);
        const size_t mark = records->size();
        records->push_back(TreeRecord{depth, (move >> 6) ^ 56, (move & 63) ^ 56, playable});
        const bool behind = depth + 1 < BOOK_LINE_SIZE &&
                            write_position(find_slot(edge(e).target), depth + 1, min_count, records, positions);
        if (!behind && !playable) records->resize(mark);
        any_playable = any_playable || playable;
    }
    if (any_playable) ++*positions;
    return records->size() > start;
}

}  // namespace

void book_tally_clear() {
    std::vector<TallySlot>().swap(slots);
    slots_in_use = 0;
    std::vector<std::unique_ptr<TallyEdge[]>>().swap(edge_blocks);
    edge_count = 0;
    forget_at_most = 0;
    forget_passes = 0;
}

void book_tally_games(PgnReader* reader, const BookTallyOptions& options, BookTallyCounts* counts) {
    memory_budget = options.memory;
    if (slots.empty()) {
        size_t size = FIRST_SLOTS;
        while (size > FEWEST_SLOTS && tally_bytes(size, 0) * 4 > memory_budget) size /= 2;
        slots.assign(size, TallySlot{0, -1, WALK_NEW, 0});
    }
    const uint32_t min_count = uint32_t(std::max(options.min_count, 1));
    set_book_start_position();
    const int plies = std::min(options.plies, BOOK_LINE_SIZE);
    std::vector<KeptMove> kept;
    PgnTags tags;
    while (reader->next_game(&tags)) {
        counts->games++;
        if (!book_game_usable(tags, options.min_elo)) {
            counts->skipped++;
            continue;
        }
        kept.clear();
        uint64_t before = position_key();
        play_book_game(reader, plies, [&](const Move& move, const char* word, int line) {
            if (move.type >= MOVE_PROMOTE_QUEEN) {
                std::fprintf(stderr, "%s:%d: promotion %s cannot be stored in a Rebel book: the game's book moves end before it\n",
                             reader->name(), line, word);
                return false;
            }
            const uint64_t after = position_key();
            kept.push_back(KeptMove{before, after, move.from * 64 + move.to});
            before = after;
            return true;
        });
        const BookGameScore score = score_book_game(*reader, tags, options.sides);
        if (kept.empty() || (!score.recommended[WHITE] && !score.recommended[BLACK])) {
            counts->skipped++;
            continue;
        }
        counts->used++;
        make_room(kept.size(), min_count);
        for (size_t ply = 0; ply < kept.size(); ply++) {
            const int mover = ply % 2 == 0 ? WHITE : BLACK;
            tally_move(kept[ply], score.recommended[mover], mover == WHITE ? score.white_points : 2 - score.white_points);
        }
    }
    counts->forget_passes = forget_passes;
    counts->forgotten_at_most = forget_passes ? forget_at_most : 0;
}

int book_tally_to_tree(int min_count) {
    book_tree_clear();
    if (slots.empty()) return 0;
    for (TallySlot& slot : slots) slot.walk = WALK_NEW;
    std::vector<TreeRecord> records;
    int positions = 0;
    write_position(find_slot(position_key()), 0, std::max(min_count, 1), &records, &positions);

    // The records come in the order of the file: each one's parent is the last one a level up.
    int parent[BOOK_LINE_SIZE + 1] = {0};
    for (const TreeRecord& r : records)
        parent[r.depth + 1] = book_tree_child(parent[r.depth], r.from, r.to, r.playable);
    return positions;
}

bool book_game_usable(const PgnTags& tags, int min_elo) {
    const bool rated = min_elo <= 0 || (tags.white_elo >= min_elo && tags.black_elo >= min_elo);
    return rated && starts_normally(tags) && is_normal_variant(tags.variant);
}

// After a bad move the rest of the game is only read to its end; what was kept before it counts.
void play_book_game(PgnReader* reader, int plies,
                    const std::function<bool(const Move& move, const char* word, int line)>& keep) {
    char word[PGN_WORD_SIZE];
    int line = 0;
    bool checking = true, keeping = true;
    while (reader->next_move(word, &line)) {
        if (!checking) continue;
        if (game.game_ply >= MAX_GAME_PLY - 1) {
            std::fprintf(stderr, "%s:%d: game longer than %d half-moves\n", reader->name(), line, MAX_GAME_PLY - 1);
            checking = false;
            continue;
        }
        const bool kept_ply = keeping && game.game_ply < plies;
        Move move;
        const int status = play_san_move(word, &move);
        if (status != SAN_OK) {
            const char* what = status == SAN_UNREADABLE ? "unreadable" : status == SAN_ILLEGAL ? "illegal" : "ambiguous";
            std::fprintf(stderr, "%s:%d: %s move: %s\n", reader->name(), line, what, word);
            checking = false;
            continue;
        }
        if (kept_ply) keeping = keep(move, word, line);
    }
    while (game.game_ply > 0) unmake_move(game);
}

BookGameScore score_book_game(const PgnReader& reader, const PgnTags& tags, int sides) {
    const int result = reader.termination() != PGN_UNKNOWN ? reader.termination() : tags.result;
    BookGameScore score;
    score.recommended[WHITE] = sides != BOOK_SIDES_BLACK;
    score.recommended[BLACK] = sides != BOOK_SIDES_WHITE;
    if (sides == BOOK_SIDES_WINNER) {  // the side that did not lose; an unfinished game has none
        score.recommended[WHITE] = result == PGN_WHITE_WINS || result == PGN_DRAW;
        score.recommended[BLACK] = result == PGN_BLACK_WINS || result == PGN_DRAW;
    }
    score.white_points = result == PGN_WHITE_WINS ? 2 : result == PGN_BLACK_WINS ? 0 : 1;
    return score;
}
