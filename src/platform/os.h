// The per-OS primitives under the shared input buffer; only platform/ sees this header.
#pragma once

#include <cstddef>

// Reads at most `size` bytes of standard input, blocking until at least one is there.
// Returns the count, 0 at end of input or on a broken pipe.
long os_read_stdin(char* buffer, size_t size);

// Without blocking: 1 when standard input has bytes, has ended or is broken; 0 otherwise.
int os_stdin_ready();
