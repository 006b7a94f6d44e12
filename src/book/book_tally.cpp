// Books from game collections: the moves of every kept position tallied, then written most played first.
#include <algorithm>
#include <cstring>
#include <vector>

#include "book/book.h"

namespace {

// A position of the tally, found by its placement and side to move: the two things the book's
// probe compares, whatever the castling and en-passant rights.
struct TallySlot {
    uint64_t key;    // 0: a free slot
    int first_edge;  // newest move first; -1: none
    int written;     // the tree holds this position's moves already
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

constexpr size_t FIRST_SLOTS = 1 << 16;  // a power of two, doubled when the table fills

std::vector<TallySlot> slots;
size_t slots_in_use;
std::vector<TallyEdge> edges;

// The engine's own key, kept by make_move, less its castling and en-passant parts; 0 marks free slots.
uint64_t position_key() {
    uint64_t key = pos.hash_key ^ zobrist_castle[pos.castle & 15];
    if (pos.ep != NO_SQUARE) key ^= zobrist_ep[pos.ep];
    return key ? key : 1;
}

// The keys are XORs of random numbers: their low bits spread well.
size_t home_of(uint64_t key) { return size_t(key ^ (key >> 32)) & (slots.size() - 1); }

TallySlot* find_slot(uint64_t key) {
    for (size_t i = home_of(key);; i = (i + 1) & (slots.size() - 1)) {
        if (slots[i].key == key) return &slots[i];
        if (slots[i].key == 0) return nullptr;
    }
}

TallySlot* add_slot(uint64_t key) {
    // Linear probing stays short below seven tenths full.
    if ((slots_in_use + 1) * 10 > slots.size() * 7) {
        std::vector<TallySlot> old(slots.size() * 2, TallySlot{0, -1, 0});
        old.swap(slots);
        for (const TallySlot& slot : old) {
            if (slot.key == 0) continue;
            size_t i = home_of(slot.key);
            while (slots[i].key != 0) i = (i + 1) & (slots.size() - 1);
            slots[i] = slot;
        }
    }
    size_t i = home_of(key);
    while (slots[i].key != 0 && slots[i].key != key) i = (i + 1) & (slots.size() - 1);
    if (slots[i].key == 0) {
        slots[i] = TallySlot{key, -1, 0};
        slots_in_use++;
    }
    return &slots[i];
}

struct KeptMove {
    uint64_t key;    // of the position before the move
    uint64_t after;  // and after it
    int move;
};

void tally_move(const KeptMove& kept, bool recommended, int points) {
    TallySlot* slot = add_slot(kept.key);
    for (int e = slot->first_edge; e >= 0; e = edges[e].next) {
        if (edges[e].move != kept.move) continue;
        edges[e].count += recommended;
        edges[e].points += points;
        return;
    }
    edges.push_back(TallyEdge{kept.after, uint32_t(recommended), uint32_t(points), slot->first_edge, uint16_t(kept.move)});
    slot->first_edge = int(edges.size()) - 1;
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
    if (!slot || slot->written) return false;
    slot->written = 1;

    // A position's moves are distinct moves of one placement: never more than a move list holds.
    int order[MAX_MOVES], moves = 0;
    for (int e = slot->first_edge; e >= 0 && moves < MAX_MOVES; e = edges[e].next) order[moves++] = e;
    std::sort(order, order + moves, [](int x, int y) {
        if (edges[x].count != edges[y].count) return edges[x].count > edges[y].count;
        if (edges[x].points != edges[y].points) return edges[x].points > edges[y].points;
        return x < y;
    });

    const size_t start = records->size();
    bool any_playable = false;
    for (int k = 0; k < moves; k++) {
        const int e = order[k];
        const int move = edges[e].move;
        const bool playable = edges[e].count >= uint32_t(min_count);
        const size_t mark = records->size();
        records->push_back(TreeRecord{depth, (move >> 6) ^ 56, (move & 63) ^ 56, playable});
        const bool behind = depth + 1 < BOOK_LINE_SIZE &&
                            write_position(find_slot(edges[e].target), depth + 1, min_count, records, positions);
        if (!behind && !playable) records->resize(mark);
        any_playable = any_playable || playable;
    }
    if (any_playable) ++*positions;
    return records->size() > start;
}

}  // namespace

void book_tally_clear() {
    slots.assign(FIRST_SLOTS, TallySlot{0, -1, 0});
    slots_in_use = 0;
    edges.clear();
}

void book_tally_games(PgnReader* reader, const BookTallyOptions& options, BookTallyCounts* counts) {
    if (slots.empty()) book_tally_clear();
    set_book_start_position();
    const int plies = std::min(options.plies, BOOK_LINE_SIZE);
    std::vector<KeptMove> kept;
    PgnTags tags;
    char word[PGN_WORD_SIZE];
    int line = 0;
    while (reader->next_game(&tags)) {
        counts->games++;
        bool rated = options.min_elo <= 0 || (tags.white_elo >= options.min_elo && tags.black_elo >= options.min_elo);
        if (!starts_normally(tags) || !is_normal_variant(tags.variant) || !rated) {
            counts->skipped++;
            continue;
        }

        // Every move is checked; the first few are kept. After a bad move the rest of the game
        // is only read to its end, and what was kept before it still counts.
        kept.clear();
        bool checking = true, keeping = true;
        while (reader->next_move(word, &line)) {
            if (!checking) continue;
            if (pos.game_ply >= MAX_GAME_PLY - 1) {
                std::fprintf(stderr, "%s:%d: game longer than %d half-moves\n", reader->name(), line,
                             MAX_GAME_PLY - 1);
                checking = false;
                continue;
            }
            const bool kept_ply = keeping && pos.game_ply < plies;
            const uint64_t key = kept_ply ? position_key() : 0;
            Move move;
            int status = play_san_move(word, &move);
            if (status != SAN_OK) {
                const char* what = status == SAN_UNREADABLE ? "unreadable" : status == SAN_ILLEGAL ? "illegal" : "ambiguous";
                std::fprintf(stderr, "%s:%d: %s move: %s\n", reader->name(), line, what, word);
                checking = false;
                continue;
            }
            if (!kept_ply) continue;
            if (move.type >= MOVE_PROMOTE_QUEEN) {
                std::fprintf(stderr, "%s:%d: promotion %s cannot be stored in a Rebel book: the game's book moves end before it\n",
                             reader->name(), line, word);
                keeping = false;
                continue;
            }
            kept.push_back(KeptMove{key, position_key(), move.from * 64 + move.to});
        }
        while (pos.game_ply > 0) unmake_move();

        int result = reader->termination() != PGN_UNKNOWN ? reader->termination() : tags.result;
        bool recommended[2];  // by Color
        recommended[WHITE] = options.sides != BOOK_SIDES_BLACK;
        recommended[BLACK] = options.sides != BOOK_SIDES_WHITE;
        if (options.sides == BOOK_SIDES_WINNER) {  // the side that did not lose; an unfinished game has none
            recommended[WHITE] = result == PGN_WHITE_WINS || result == PGN_DRAW;
            recommended[BLACK] = result == PGN_BLACK_WINS || result == PGN_DRAW;
            if (result == PGN_UNKNOWN) kept.clear();
        }
        if (kept.empty()) {
            counts->skipped++;
            continue;
        }
        counts->used++;
        const int white_points = result == PGN_WHITE_WINS ? 2 : result == PGN_BLACK_WINS ? 0 : 1;
        for (size_t ply = 0; ply < kept.size(); ply++) {
            const int mover = ply % 2 == 0 ? WHITE : BLACK;
            tally_move(kept[ply], recommended[mover], mover == WHITE ? white_points : 2 - white_points);
        }
    }
}

int book_tally_to_tree(int min_count) {
    book_tree_clear();
    if (slots.empty()) return 0;
    for (TallySlot& slot : slots) slot.written = 0;
    std::vector<TreeRecord> records;
    int positions = 0;
    write_position(find_slot(position_key()), 0, std::max(min_count, 1), &records, &positions);

    // The records come in the order of the file: each one's parent is the last one a level up.
    int parent[BOOK_LINE_SIZE + 1] = {0};
    for (const TreeRecord& r : records)
        parent[r.depth + 1] = book_tree_child(parent[r.depth], r.from, r.to, r.playable);
    return positions;
}
