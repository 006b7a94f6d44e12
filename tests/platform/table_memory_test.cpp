// Table memory: zero-filled, writable to its last byte, and refused rather than faked when the
// size cannot be had.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace {

TEST(TableMemory, ZeroFilledAndWritableToTheEnd) {
    // Sizes below, at and across the large-page size, and an odd one.
    for (const size_t bytes : {size_t{16}, size_t{4096} * 3 + 8, size_t{2} << 20, (size_t{5} << 20) + 40}) {
        auto* memory = static_cast<unsigned char*>(table_memory_alloc(bytes));
        ASSERT_NE(memory, nullptr) << bytes;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % 64, 0u) << "slots would straddle cache lines";
        size_t nonzero = 0;
        for (size_t i = 0; i < bytes; i += 512) nonzero += memory[i] != 0;
        EXPECT_EQ(nonzero + memory[bytes - 1], 0u) << bytes;
        std::memset(memory, 0xa5, bytes);
        EXPECT_EQ(memory[bytes - 1], 0xa5);
        table_memory_free(memory, bytes);
    }
    table_memory_free(nullptr, 64);  // nothing to free: ignored
}

TEST(TableMemory, ImpossibleSizesAreRefused) {
    EXPECT_EQ(table_memory_alloc(0), nullptr);
    EXPECT_EQ(table_memory_alloc(SIZE_MAX), nullptr);
    EXPECT_EQ(table_memory_alloc(SIZE_MAX / 2 + 1), nullptr);
}

}  // namespace
