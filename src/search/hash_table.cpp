// The transposition table and the evaluation cache: sizes, allocation, store and probe rules.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "search/parameters.h"
#include "search/search.h"

HashSlot* hash_table = nullptr;
uint32_t hash_entries = DEFAULT_HASH_ENTRIES;
int hash_mb = DEFAULT_HASH_MB;

namespace {

constexpr uint32_t MEGABYTE = 1u << 20;
// The size the setting's megabytes are divided by. A slot takes less, but the slot count, and
// with it the slot of every key, is what the setting has always given.
constexpr uint32_t HASH_ENTRY_BYTES = 40;
constexpr uint32_t HASH_FULL_SAMPLE = 1000;  // slots looked at to tell how full the table is

// What a slot must hold: depths up to a full game and a full line, squares and flags in their bits.
static_assert(MAX_GAME_PLY + 2 * MAX_PLY * ONE_PLY < INT16_MAX);
static_assert(HASH_NONE < 4);

SlotIndex hash_index;
size_t allocated_bytes = 0;  // the table's size as allocated; the slot count may change before a free

HashSlot* slot_of(uint64_t key) { return &hash_table[hash_index.of(key)]; }

// Zero is the cleared state. The index is made with the table it indexes, so that it always maps
// into that table.
HashSlot* new_table(uint32_t entries, size_t* bytes) {
    *bytes = size_t{entries} * sizeof(HashSlot);
    auto* table = static_cast<HashSlot*>(table_memory_alloc(*bytes));
    if (table != nullptr) hash_index = SlotIndex(entries);
    return table;
}

}  // namespace

// Outside the valid sizes the 32-bit product would be zero or wrap to nonsense, so such a request
// keeps the default size (the shell warns the user).
uint32_t hash_entries_for_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return DEFAULT_HASH_ENTRIES;
    return static_cast<uint32_t>(megabytes) * MEGABYTE / HASH_ENTRY_BYTES;
}

bool set_hash_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return false;
    hash_mb = megabytes;
    hash_entries = hash_entries_for_mb(megabytes);
    return true;
}

void alloc_tables() {
    free_tables();
    // Whatever set the size, an empty table could not be indexed.
    if (hash_entries == 0) hash_entries = DEFAULT_HASH_ENTRIES;
    hash_table = new_table(hash_entries, &allocated_bytes);
    const bool cache_allocated = alloc_eval_cache();
    if (hash_table == nullptr || !cache_allocated) {
        printf("Out of memory allocating hash or evalcache.\n");
        fflush(stdout);
        exit(1);
    }
}

bool resize_hash_table(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return false;
    const uint32_t entries = hash_entries_for_mb(megabytes);
    // The new table first: when the memory is not there, the old one goes on serving.
    size_t bytes = 0;
    HashSlot* table = new_table(entries, &bytes);
    if (table == nullptr) return false;
    table_memory_free(hash_table, allocated_bytes);
    hash_table = table;
    allocated_bytes = bytes;
    hash_entries = entries;
    hash_mb = megabytes;
    return true;
}

void free_tables() {
    table_memory_free(hash_table, allocated_bytes);
    hash_table = nullptr;
    allocated_bytes = 0;
    free_eval_cache();
}

void clear_tables() {
    if (hash_table != nullptr) memset(hash_table, 0, sizeof(HashSlot) * hash_entries);
    clear_eval_cache();
}

// A mate is stored as its distance from this node, so it reads right from any other distance.
int score_to_hash(int score) {
    if (score > MATE_BOUND) return score + pos.ply;
    if (score < -MATE_BOUND) return score - pos.ply;
    return score;
}

int score_from_hash(int score) {
    if (score > MATE_BOUND) return score - pos.ply;
    if (score < -MATE_BOUND) return score + pos.ply;
    return score;
}

// Deeper-or-equal replacement; the depth includes game_ply, so old entries age out by themselves.
void hash_store(int flag, int depth, int score, Move move) {
    if (hash_table == nullptr) return;
    HashSlot* slot = slot_of(pos.hash_key);
    if (slot->depth > depth) return;
    slot->key = pos.hash_key;
    slot->score = score_to_hash(score);
    slot->depth = static_cast<int16_t>(depth);
    slot->move_and_flag = static_cast<uint16_t>(move.from | move.to << 6 | flag << 12);
}

bool hash_probe(TranspositionEntry* entry) {
    if (hash_table == nullptr) return false;
    const HashSlot* slot = slot_of(pos.hash_key);
    if (slot->key != pos.hash_key) return false;
    entry->key = slot->key;
    entry->flag = slot->move_and_flag >> 12;
    entry->depth = slot->depth;
    entry->score = slot->score;
    entry->best_move = {slot->move_and_flag & 63, slot->move_and_flag >> 6 & 63, MOVE_NONE, 0};
    return true;
}

HashMoveProbe probe_hash_move(int wanted_depth, int beta) {
    HashMoveProbe result = {NO_MOVE, HASH_NONE, 1, SCORE_INF};
    TranspositionEntry entry;
    if (!hash_probe(&entry)) return result;
    result.move = entry.best_move;
    if (entry.score < beta && entry.depth >= null_depth && entry.flag == HASH_UPPER) {
        result.null_ok = 0;
    }
    if (entry.depth >= wanted_depth) {
        result.score = score_from_hash(entry.score);
        result.flag = entry.flag;
    }
    return result;
}

namespace {

// A hint to load the cache line of p. The compiler drops its own prefetch builtin where it
// inlines these functions into the search, so on x86 the instruction is written out.
inline void prefetch_line(const void* p) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
    __builtin_prefetch(p);
#endif
}

}  // namespace

// A position's slots start loading while other work goes on; the probes that follow find them in
// the cache.
void prefetch_slots(uint64_t key) {
    if (hash_table != nullptr) prefetch_line(slot_of(key));
    prefetch_eval_slot(key);
}

void prefetch_eval_slot(uint64_t key) {
    if (eval_cache != nullptr) prefetch_line(ecache_slot(key));
}

int hash_full_permill() {
    if (hash_table == nullptr) return 0;
    const uint32_t sample = hash_entries < HASH_FULL_SAMPLE ? hash_entries : HASH_FULL_SAMPLE;
    uint32_t used = 0;
    for (uint32_t i = 0; i < sample; i++) used += hash_table[i].key != 0 ? 1 : 0;
    return static_cast<int>(used * 1000 / sample);
}
