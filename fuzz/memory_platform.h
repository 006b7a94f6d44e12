// Fuzzing stand-in for the operating system: standard input served from a case's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// The bytes the next lines come from; the input ends after them. Kept by pointer, not copied.
void memory_input_set(const uint8_t* data, size_t size);
