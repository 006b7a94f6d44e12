// The evaluation cache: its size from the settings, allocation, clearing, and the root material.
#include <cstring>

#include "eval/eval.h"
#include "platform/platform.h"

EvalCacheEntry* eval_cache = nullptr;
uint32_t ecache_entries = DEFAULT_ECACHE_ENTRIES;
int ecache_mb = DEFAULT_ECACHE_MB;
int lazy_eval;
int root_piece_material[2];
int root_pawn_material[2];

namespace {

constexpr uint32_t MEGABYTE = 1u << 20;
static_assert(sizeof(EvalCacheEntry) == 8);
static_assert(MEGABYTE / ECACHE_SETTING_BYTES_PER_SLOT >= MIN_ECACHE_ENTRIES, "the smallest setting is too small");

SlotIndex ecache_index;
size_t allocated_bytes = 0;  // the cache's size as allocated; the slot count may change before a free

}  // namespace

SlotIndex::SlotIndex(uint32_t slots) : slots_(slots == 0 ? 1 : slots) {
#if defined(__SIZEOF_INT128__)
    inverse_ = ~static_cast<unsigned __int128>(0) / slots_ + 1;
#endif
}

// Outside the valid sizes the 32-bit product would be zero or wrap to nonsense, so such a request
// keeps the default size (the shell warns the user).
uint32_t ecache_entries_for_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return DEFAULT_ECACHE_ENTRIES;
    return static_cast<uint32_t>(megabytes) * MEGABYTE / ECACHE_SETTING_BYTES_PER_SLOT;
}

bool set_ecache_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return false;
    ecache_mb = megabytes;
    ecache_entries = ecache_entries_for_mb(megabytes);
    return true;
}

bool alloc_eval_cache() {
    free_eval_cache();
    // Whatever set the size, a smaller cache could not tell its keys apart.
    if (ecache_entries < MIN_ECACHE_ENTRIES) ecache_entries = MIN_ECACHE_ENTRIES;
    // Zero is the cleared state.
    allocated_bytes = size_t{ecache_entries} * sizeof(EvalCacheEntry);
    use_eval_cache(static_cast<EvalCacheEntry*>(table_memory_alloc(allocated_bytes)), ecache_entries);
    return eval_cache != nullptr;
}

// The index is made with the table it indexes, so that it always maps into that table.
void use_eval_cache(EvalCacheEntry* cache, uint32_t entries) {
    eval_cache = entries < MIN_ECACHE_ENTRIES ? nullptr : cache;
    ecache_entries = entries;
    ecache_index = SlotIndex(entries);
}

void free_eval_cache() {
    table_memory_free(eval_cache, allocated_bytes);
    eval_cache = nullptr;
    allocated_bytes = 0;
}

void clear_eval_cache() {
    if (eval_cache != nullptr) std::memset(eval_cache, 0, sizeof(EvalCacheEntry) * ecache_entries);
}

EvalCacheEntry* ecache_slot(uint64_t key) { return &eval_cache[ecache_index.of(key)]; }

void set_root_material() {
    for (int c = BLACK; c <= WHITE; c++) {
        root_piece_material[c] = pos.piece_material[c];
        root_pawn_material[c] = pos.pawn_material[c];
    }
}
