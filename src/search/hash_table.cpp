// The transposition table, shared by every search thread: sizes, allocation, store and probe rules.
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

// The size the setting's megabytes are divided by. A slot takes less, but the slot count, and
// with it the slot of every key, is what the setting has always given.
constexpr uint64_t HASH_ENTRY_BYTES = 40;
constexpr uint32_t HASH_FULL_SAMPLE = 1000;  // slots looked at to tell how full the table is

// What a slot must hold: depths up to a full game and a full line, squares and flags in their bits.
static_assert(MAX_GAME_PLY + 2 * MAX_PLY * ONE_PLY < INT16_MAX);
static_assert(HASH_NONE < 4);
// The largest setting's slots are counted in 32 bits.
static_assert(MAX_HASH_MB * MEGABYTE / HASH_ENTRY_BYTES <= UINT32_MAX);
static_assert(sizeof(HashSlot) == 16);

SlotIndex hash_index;
size_t allocated_bytes = 0;  // the table's size as allocated; the slot count may change before a free

HashSlot* slot_of(uint64_t key) { return &hash_table[hash_index.of(key)]; }

uint64_t pack(const HashData& d) {
    return static_cast<uint32_t>(d.score) | uint64_t{static_cast<uint16_t>(d.depth)} << 32 |
           uint64_t{d.move_and_flag} << 48;
}

HashData unpack(uint64_t word) {
    return {static_cast<int32_t>(static_cast<uint32_t>(word)), static_cast<int16_t>(word >> 32),
            static_cast<uint16_t>(word >> 48)};
}

// Zero is the cleared state. The index is made with the table it indexes, so that it always maps
// into that table. A 32-bit build refuses a table its address space cannot hold.
HashSlot* new_table(uint32_t entries, size_t* bytes) {
    const uint64_t wanted = uint64_t{entries} * sizeof(HashSlot);
    if (wanted > SIZE_MAX) return nullptr;
    *bytes = static_cast<size_t>(wanted);
    auto* table = static_cast<HashSlot*>(table_memory_alloc(*bytes));
    if (table != nullptr) hash_index = SlotIndex(entries);
    return table;
}

}  // namespace

// Outside the valid sizes the product would be zero or nonsense, so such a request keeps the
// default size (the shell warns the user).
uint32_t hash_entries_for_mb(int megabytes) {
    if (!hash_megabytes_valid(megabytes)) return DEFAULT_HASH_ENTRIES;
    return slots_for_megabytes(megabytes, HASH_ENTRY_BYTES);
}

bool set_hash_mb(int megabytes) {
    if (!hash_megabytes_valid(megabytes)) return false;
    hash_mb = megabytes;
    hash_entries = hash_entries_for_mb(megabytes);
    return true;
}

namespace {

uint64_t hash_bytes(int megabytes) { return uint64_t{hash_entries_for_mb(megabytes)} * sizeof(HashSlot); }

// A thread's own memory beside the shared table: its state, its evaluation and pawn caches.
uint64_t thread_bytes(int ecache_megabytes) {
    return sizeof(SearchThread) + uint64_t{ecache_entries_for_mb(ecache_megabytes)} * sizeof(EvalCacheEntry) +
           pawn_cache_bytes();
}

}  // namespace

// Budget = hash slots x 16 + threads x (thread state + cache slots x 8 + pawn cache), in bytes.
bool tables_within(int megabytes, int threads, int ecache_ceiling_mb, int* hash, int* ecache) {
    if (megabytes < 1 || threads < 1) return false;
    const uint64_t budget = uint64_t{static_cast<unsigned>(megabytes)} * MEGABYTE;
    int cache = table_megabytes_valid(ecache_ceiling_mb) ? ecache_ceiling_mb : DEFAULT_ECACHE_MB;
    while (cache > 1 && threads * thread_bytes(cache) > budget / 4) cache--;
    const uint64_t threads_use = threads * thread_bytes(cache);
    if (threads_use + hash_bytes(1) > budget) return false;
    // Each hash megabyte of the setting takes sizeof(HashSlot) / HASH_ENTRY_BYTES of a megabyte.
    const uint64_t table_megabytes = (budget - threads_use) * HASH_ENTRY_BYTES / (sizeof(HashSlot) * MEGABYTE);
    int table = table_megabytes > uint64_t{MAX_HASH_MB} ? MAX_HASH_MB : static_cast<int>(table_megabytes);
    while (table > 1 && threads_use + hash_bytes(table) > budget) table--;
    *hash = table;
    *ecache = cache;
    return true;
}

int least_table_megabytes(int threads) {
    const uint64_t least = threads * thread_bytes(1) + hash_bytes(1);
    return static_cast<int>((least + MEGABYTE - 1) / MEGABYTE);
}

void alloc_tables() {
    free_tables();
    // Whatever set the size, an empty table could not be indexed.
    if (hash_entries == 0) hash_entries = DEFAULT_HASH_ENTRIES;
    hash_table = new_table(hash_entries, &allocated_bytes);
    const bool caches_allocated = resize_eval_caches();
    if (hash_table == nullptr || !caches_allocated) {
        printf("Out of memory allocating hash or evalcache.\n");
        fflush(stdout);
        exit(1);
    }
}

bool resize_hash_table(int megabytes) {
    if (!hash_megabytes_valid(megabytes)) return false;
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
    release_eval_caches();
}

void clear_tables() {
    if (hash_table != nullptr) memset(static_cast<void*>(hash_table), 0, sizeof(HashSlot) * hash_entries);
    clear_eval_caches();
}

// A mate is stored as its distance from this node, so it reads right from any other distance.
int score_to_hash(const Position& pos, int score) {
    if (score > MATE_BOUND) return score + pos.ply;
    if (score < -MATE_BOUND) return score - pos.ply;
    return score;
}

int score_from_hash(const Position& pos, int score) {
    if (score > MATE_BOUND) return score - pos.ply;
    if (score < -MATE_BOUND) return score + pos.ply;
    return score;
}

// Deeper-or-equal replacement; the depth includes game_ply, so old entries age out by themselves.
// The words are read and written without order: a slot written by two threads at once may end
// with one thread's check and the other's data, which no probe will accept.
void hash_store(const Position& pos, int flag, int depth, int score, Move move) {
    if (hash_table == nullptr) return;
    HashSlot* slot = slot_of(pos.hash_key);
    if (unpack(slot->data.load(std::memory_order_relaxed)).depth > depth) return;
    const uint64_t data = pack({score_to_hash(pos, score), static_cast<int16_t>(depth),
                                static_cast<uint16_t>(move.from | move.to << 6 | flag << 12)});
    slot->check.store(pos.hash_key ^ data, std::memory_order_relaxed);
    slot->data.store(data, std::memory_order_relaxed);
}

bool hash_probe(const Position& pos, TranspositionEntry* entry) {
    if (hash_table == nullptr) return false;
    const HashSlot* slot = slot_of(pos.hash_key);
    const uint64_t data = slot->data.load(std::memory_order_relaxed);
    if ((slot->check.load(std::memory_order_relaxed) ^ data) != pos.hash_key) return false;
    const HashData d = unpack(data);
    entry->key = pos.hash_key;
    entry->flag = d.move_and_flag >> 12;
    entry->depth = d.depth;
    entry->score = d.score;
    entry->best_move = {d.move_and_flag & 63, d.move_and_flag >> 6 & 63, MOVE_NONE, 0};
    return true;
}

HashMoveProbe probe_hash_move(const Position& pos, int wanted_depth, int beta, int null_depth) {
    HashMoveProbe result = {NO_MOVE, HASH_NONE, 1, SCORE_INF};
    TranspositionEntry entry;
    if (!hash_probe(pos, &entry)) return result;
    result.move = entry.best_move;
    if (entry.score < beta && entry.depth >= null_depth && entry.flag == HASH_UPPER) {
        result.null_ok = 0;
    }
    if (entry.depth >= wanted_depth) {
        result.score = score_from_hash(pos, entry.score);
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
void prefetch_slots(const EvalCache& cache, uint64_t key) {
    if (hash_table != nullptr) prefetch_line(slot_of(key));
    prefetch_eval_slot(cache, key);
}

void prefetch_eval_slot(const EvalCache& cache, uint64_t key) {
    if (cache.present()) prefetch_line(cache.slot(key));
}

int hash_full_permill() {
    if (hash_table == nullptr) return 0;
    const uint32_t sample = hash_entries < HASH_FULL_SAMPLE ? hash_entries : HASH_FULL_SAMPLE;
    uint32_t used = 0;
    for (uint32_t i = 0; i < sample; i++) used += hash_table[i].check.load(std::memory_order_relaxed) != 0 ? 1 : 0;
    return static_cast<int>(used * 1000 / sample);
}
