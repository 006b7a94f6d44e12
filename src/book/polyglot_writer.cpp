// Polyglot books from game collections: moves tallied by key and move within a memory bound, written sorted.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "book/book.h"

namespace {

// A move played in a position: how often a recommended side played it and what it scored them.
struct TallyEntry {
    uint64_t key;     // Polyglot key of the position before it
    uint32_t count;   // 0: a free slot
    uint32_t points;  // two for a win, one for a draw or an unknown result
    uint16_t move;    // as the format stores it
};

constexpr size_t FEWEST_SLOTS = 64;
constexpr size_t FIRST_SLOTS = 1 << 16;

std::vector<TallyEntry> slots;
size_t slots_in_use;
size_t memory_budget = BookTallyOptions{}.memory;
uint32_t forget_at_most;
int forget_passes;

// Key and move spread over the table: the key's bits are random, the move's are not.
size_t home_of(uint64_t key, uint16_t move) {
    const uint64_t mixed = (key ^ (uint64_t(move) * 0x9E3779B97F4A7C15ull)) >> 32;
    return size_t((mixed * slots.size()) >> 32);
}
size_t next_slot(size_t i) { return i + 1 < slots.size() ? i + 1 : 0; }
bool crowded(size_t entries, size_t table_size) { return entries * 10 > table_size * 7; }

void place(std::vector<TallyEntry>* table, const TallyEntry& entry) {
    size_t i = home_of(entry.key, entry.move);
    while ((*table)[i].count != 0) i = next_slot(i);
    (*table)[i] = entry;
}

// A fresh table of the given size holding the entries above at_most (all of them for 0).
void rebuild(size_t size, uint32_t at_most) {
    std::vector<TallyEntry> old(size, TallyEntry{0, 0, 0, 0});
    old.swap(slots);
    slots_in_use = 0;
    for (const TallyEntry& entry : old) {
        if (entry.count == 0 || entry.count <= at_most) continue;
        place(&slots, entry);
        slots_in_use++;
    }
}

// Room for n more entries: the table grows within the budget (both copies count while it is
// copied); past it the rarest moves are forgotten, then more played ones until half is free.
void make_room(size_t n, uint32_t min_count) {
    if (!crowded(slots_in_use + n, slots.size())) return;
    const size_t bigger = std::max(slots.size() * 2, (slots_in_use + n) * 10 / 7 + 1);
    if ((slots.size() + bigger) * sizeof(TallyEntry) <= memory_budget) {
        rebuild(bigger, 0);
        return;
    }
    forget_passes++;
    forget_at_most = std::max(forget_at_most, min_count - 1);
    for (;;) {
        rebuild(slots.size(), forget_at_most);
        if (slots_in_use == 0 || !crowded(slots_in_use * 2 + n, slots.size())) break;
        forget_at_most = std::max(forget_at_most + 1, forget_at_most + forget_at_most / 4);
    }
    // A budget too small for one game's moves is outgrown rather than refused.
    if (crowded(slots_in_use + n, slots.size())) rebuild(bigger, 0);
}

void tally(uint64_t key, uint16_t move, int points) {
    size_t i = home_of(key, move);
    while (slots[i].count != 0 && (slots[i].key != key || slots[i].move != move)) i = next_slot(i);
    if (slots[i].count == 0) {
        slots[i] = TallyEntry{key, 0, 0, move};
        slots_in_use++;
    }
    slots[i].count++;
    slots[i].points += uint32_t(points);
}

struct KeptMove {
    uint64_t key;
    uint16_t move;
};

}  // namespace

void polyglot_tally_clear() {
    std::vector<TallyEntry>().swap(slots);
    slots_in_use = 0;
    forget_at_most = 0;
    forget_passes = 0;
}

void polyglot_tally_games(PgnReader* reader, const BookTallyOptions& options, BookTallyCounts* counts) {
    memory_budget = options.memory;
    if (slots.empty()) {
        size_t size = FIRST_SLOTS;
        while (size > FEWEST_SLOTS && size * sizeof(TallyEntry) * 4 > memory_budget) size /= 2;
        slots.assign(size, TallyEntry{0, 0, 0, 0});
    }
    const uint32_t min_count = uint32_t(std::max(options.min_count, 1));
    set_book_start_position();
    std::vector<KeptMove> kept;
    PgnTags tags;
    while (reader->next_game(&tags)) {
        counts->games++;
        if (!book_game_usable(tags, options.min_elo)) {
            counts->skipped++;
            continue;
        }
        kept.clear();
        uint64_t before = polyglot_key(game);
        play_book_game(reader, options.plies, [&](const Move& move, const char*, int) {
            kept.push_back(KeptMove{before, polyglot_move_code(move)});
            before = polyglot_key(game);
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
            const int points = mover == WHITE ? score.white_points : 2 - score.white_points;
            if (score.recommended[mover]) tally(kept[ply].key, kept[ply].move, points);
        }
    }
    counts->forget_passes = forget_passes;
    counts->forgotten_at_most = forget_passes ? forget_at_most : 0;
}

bool write_polyglot_book(const char* file_name, int min_count, PolyglotWriteCounts* counts) {
    // A move that only ever lost has weight 0 and would never be played: Polyglot's maker
    // leaves it out too.
    std::vector<PolyglotEntry> entries;
    for (const TallyEntry& t : slots)
        if (t.count != 0 && t.count >= uint32_t(std::max(min_count, 1)) && t.points > 0)
            entries.push_back(PolyglotEntry{t.key, t.move, 0, t.points});  // points in learn until scaled
    std::sort(entries.begin(), entries.end(), [](const PolyglotEntry& a, const PolyglotEntry& b) {
        if (a.key != b.key) return a.key < b.key;
        if (a.learn != b.learn) return a.learn > b.learn;  // the heaviest first, as Polyglot's maker writes
        return a.move < b.move;
    });

    // Weights have 16 bits: a key whose heaviest move scored more is scaled down whole, so
    // that the proportions between its moves stay.
    *counts = PolyglotWriteCounts{};
    for (size_t first = 0; first < entries.size();) {
        size_t last = first;
        while (last < entries.size() && entries[last].key == entries[first].key) last++;
        const uint64_t heaviest = entries[first].learn;
        for (size_t i = first; i < last; i++) {
            uint64_t weight = entries[i].learn;
            if (heaviest > UINT16_MAX) weight = std::max<uint64_t>(1, weight * UINT16_MAX / heaviest);
            entries[i].weight = uint16_t(weight);
            entries[i].learn = 0;
        }
        counts->positions++;
        first = last;
    }
    counts->entries = long(entries.size());

    FILE* file = std::fopen(file_name, "wb");
    if (!file) return false;
    bool ok = true;
    unsigned char bytes[POLYGLOT_ENTRY_BYTES];
    for (const PolyglotEntry& entry : entries) {
        encode_polyglot_entry(entry, bytes);
        ok = ok && std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
    }
    return std::fclose(file) == 0 && ok;
}
