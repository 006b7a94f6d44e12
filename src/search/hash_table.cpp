// The transposition table and the evaluation cache: sizes, allocation, store and probe rules.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "search/search.h"

TranspositionEntry* hash_table = nullptr;
EvalCacheEntry* eval_cache = nullptr;
uint32_t hash_entries = DEFAULT_HASH_ENTRIES;
uint32_t ecache_entries = DEFAULT_ECACHE_ENTRIES;

namespace {

constexpr uint32_t MEGABYTE = 1u << 20;
constexpr uint32_t HASH_ENTRY_BYTES = 40;    // the size the settings' megabytes are divided by
constexpr uint32_t ECACHE_ENTRY_BYTES = 16;

TranspositionEntry* slot_of(uint64_t key) { return &hash_table[key % hash_entries]; }

}  // namespace

bool table_megabytes_valid(int megabytes) {
    return megabytes >= 1 && megabytes <= MAX_TABLE_MEGABYTES;
}

// Outside 1..MAX_TABLE_MEGABYTES the 32-bit product would be zero or wrap to nonsense, so such a
// request keeps the default size (the shell warns the user).
uint32_t hash_entries_for_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return DEFAULT_HASH_ENTRIES;
    return static_cast<uint32_t>(megabytes) * MEGABYTE / HASH_ENTRY_BYTES;
}

uint32_t ecache_entries_for_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return DEFAULT_ECACHE_ENTRIES;
    return static_cast<uint32_t>(megabytes) * MEGABYTE / ECACHE_ENTRY_BYTES;
}

void alloc_tables() {
    free_tables();
    // Whatever set the sizes, an empty table could not be indexed.
    if (hash_entries == 0) hash_entries = DEFAULT_HASH_ENTRIES;
    if (ecache_entries == 0) ecache_entries = DEFAULT_ECACHE_ENTRIES;
    // calloc leaves the pages untouched until used, and zero is the cleared state.
    hash_table = static_cast<TranspositionEntry*>(calloc(hash_entries, sizeof(TranspositionEntry)));
    eval_cache = static_cast<EvalCacheEntry*>(calloc(ecache_entries, sizeof(EvalCacheEntry)));
    if (hash_table == nullptr || eval_cache == nullptr) {
        printf("Out of memory allocating hash or evalcache.\n");
        fflush(stdout);
        exit(1);
    }
}

void free_tables() {
    free(hash_table);
    free(eval_cache);
    hash_table = nullptr;
    eval_cache = nullptr;
}

void clear_tables() {
    if (hash_table != nullptr) memset(hash_table, 0, sizeof(TranspositionEntry) * hash_entries);
    if (eval_cache != nullptr) memset(eval_cache, 0, sizeof(EvalCacheEntry) * ecache_entries);
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
    TranspositionEntry* slot = slot_of(pos.hash_key);
    if (slot->depth > depth) return;
    slot->key = pos.hash_key;
    slot->flag = flag;
    slot->depth = depth;
    slot->score = score_to_hash(score);
    slot->best_move = move;
}

bool hash_probe(TranspositionEntry* entry) {
    if (hash_table == nullptr) return false;
    const TranspositionEntry* slot = slot_of(pos.hash_key);
    if (slot->key != pos.hash_key) return false;
    *entry = *slot;
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
