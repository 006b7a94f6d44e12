// The evaluation cache: its size from the settings, allocation, clearing, and the root material.
#include <cstdlib>
#include <cstring>

#include "eval/eval.h"

EvalCacheEntry* eval_cache = nullptr;
uint32_t ecache_entries = DEFAULT_ECACHE_ENTRIES;
int ecache_mb = DEFAULT_ECACHE_MB;
int lazy_eval;
int root_piece_material[2];
int root_pawn_material[2];

namespace {

constexpr uint32_t MEGABYTE = 1u << 20;
constexpr uint32_t ECACHE_ENTRY_BYTES = 16;  // the size the setting's megabytes are divided by

}  // namespace

// Outside the valid sizes the 32-bit product would be zero or wrap to nonsense, so such a request
// keeps the default size (the shell warns the user).
uint32_t ecache_entries_for_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return DEFAULT_ECACHE_ENTRIES;
    return static_cast<uint32_t>(megabytes) * MEGABYTE / ECACHE_ENTRY_BYTES;
}

bool set_ecache_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return false;
    ecache_mb = megabytes;
    ecache_entries = ecache_entries_for_mb(megabytes);
    return true;
}

bool alloc_eval_cache() {
    free_eval_cache();
    // Whatever set the size, an empty cache could not be indexed.
    if (ecache_entries == 0) ecache_entries = DEFAULT_ECACHE_ENTRIES;
    // calloc leaves the pages untouched until used, and zero is the cleared state.
    eval_cache = static_cast<EvalCacheEntry*>(std::calloc(ecache_entries, sizeof(EvalCacheEntry)));
    return eval_cache != nullptr;
}

void free_eval_cache() {
    std::free(eval_cache);
    eval_cache = nullptr;
}

void clear_eval_cache() {
    if (eval_cache != nullptr) std::memset(eval_cache, 0, sizeof(EvalCacheEntry) * ecache_entries);
}

void set_root_material() {
    for (int c = BLACK; c <= WHITE; c++) {
        root_piece_material[c] = pos.piece_material[c];
        root_pawn_material[c] = pos.pawn_material[c];
    }
}
