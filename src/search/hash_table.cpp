// The transposition table and the evaluation cache: sizes, allocation, store and probe rules.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "search/search.h"

TranspositionEntry* hash_table = nullptr;
uint32_t hash_entries = DEFAULT_HASH_ENTRIES;
int hash_mb = DEFAULT_HASH_MB;

namespace {

constexpr uint32_t MEGABYTE = 1u << 20;
constexpr uint32_t HASH_ENTRY_BYTES = 40;  // the size the setting's megabytes are divided by
constexpr uint32_t HASH_FULL_SAMPLE = 1000;  // slots looked at to tell how full the table is

TranspositionEntry* slot_of(uint64_t key) { return &hash_table[key % hash_entries]; }

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
    // calloc leaves the pages untouched until used, and zero is the cleared state.
    hash_table = static_cast<TranspositionEntry*>(calloc(hash_entries, sizeof(TranspositionEntry)));
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
    auto* table = static_cast<TranspositionEntry*>(calloc(entries, sizeof(TranspositionEntry)));
    if (table == nullptr) return false;
    free(hash_table);
    hash_table = table;
    hash_entries = entries;
    hash_mb = megabytes;
    return true;
}

void free_tables() {
    free(hash_table);
    hash_table = nullptr;
    free_eval_cache();
}

void clear_tables() {
    if (hash_table != nullptr) memset(hash_table, 0, sizeof(TranspositionEntry) * hash_entries);
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

int hash_full_permill() {
    if (hash_table == nullptr) return 0;
    const uint32_t sample = hash_entries < HASH_FULL_SAMPLE ? hash_entries : HASH_FULL_SAMPLE;
    uint32_t used = 0;
    for (uint32_t i = 0; i < sample; i++) used += hash_table[i].key != 0 ? 1 : 0;
    return static_cast<int>(used * 1000 / sample);
}
