// The evaluation cache: its size from the settings, allocation, clearing, and the root material.
#include <cstring>

#include "eval/eval.h"
#include "platform/platform.h"

uint32_t ecache_entries = DEFAULT_ECACHE_ENTRIES;
int ecache_mb = DEFAULT_ECACHE_MB;

namespace {

static_assert(sizeof(EvalCacheEntry) == 8);
static_assert(MEGABYTE / ECACHE_SETTING_BYTES_PER_SLOT >= MIN_ECACHE_ENTRIES, "the smallest setting is too small");

}  // namespace

SlotIndex::SlotIndex(uint32_t slots) : slots_(slots == 0 ? 1 : slots) {
#if defined(__SIZEOF_INT128__)
    inverse_ = ~static_cast<unsigned __int128>(0) / slots_ + 1;
#endif
}

// Outside the valid sizes the product would be zero or nonsense, so such a request keeps the
// default size (the shell warns the user).
uint32_t ecache_entries_for_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return DEFAULT_ECACHE_ENTRIES;
    return slots_for_megabytes(megabytes, ECACHE_SETTING_BYTES_PER_SLOT);
}

bool set_ecache_mb(int megabytes) {
    if (!table_megabytes_valid(megabytes)) return false;
    ecache_mb = megabytes;
    ecache_entries = ecache_entries_for_mb(megabytes);
    return true;
}

bool EvalCache::allocate(uint32_t entries) {
    release();
    // Whatever set the size, a smaller cache could not tell its keys apart.
    if (entries < MIN_ECACHE_ENTRIES) entries = MIN_ECACHE_ENTRIES;
    // Zero is the cleared state.
    const size_t bytes = size_t{entries} * sizeof(EvalCacheEntry);
    auto* table = static_cast<EvalCacheEntry*>(table_memory_alloc(bytes));
    if (table == nullptr) return false;
    use(table, entries);
    allocated_bytes_ = bytes;
    return true;
}

// The index is made with the table it indexes, so that it always maps into that table.
void EvalCache::use(EvalCacheEntry* table, uint32_t entries) {
    release();
    table_ = entries < MIN_ECACHE_ENTRIES ? nullptr : table;
    entries_ = entries;
    index_ = SlotIndex(entries);
}

void EvalCache::release() {
    if (allocated_bytes_ != 0) table_memory_free(table_, allocated_bytes_);
    table_ = nullptr;
    allocated_bytes_ = 0;
}

void EvalCache::clear() {
    if (table_ != nullptr) std::memset(table_, 0, sizeof(EvalCacheEntry) * entries_);
}

void set_root_material(Evaluator& e) {
    for (int c = BLACK; c <= WHITE; c++) {
        e.root_piece_material[c] = e.pos.piece_material[c];
        e.root_pawn_material[c] = e.pos.pawn_material[c];
    }
}
