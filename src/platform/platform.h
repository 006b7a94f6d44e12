// The operating system, behind a few calls: clock, input test, line reader, shared libraries and
// table memory.
#pragma once

#include <cstddef>
#include <cstdint>

int64_t now_ms();  // monotonic milliseconds

// Standard input goes through one buffer that both calls below see, so a line already read
// from the OS but not yet consumed still counts as pending.
bool input_pending();                        // a line or end of input waits; never blocks
bool read_line(char* buffer, size_t size);   // one line without its newline, cut to size - 1;
                                             // false at end of input
bool peek_line(char* buffer, size_t size);   // the next whole line, left unread; false when no
                                             // whole line has arrived yet. Never blocks.
bool input_ended();                          // no byte will come after those already buffered

void* library_open(const char* file_name);
void* library_symbol(void* library, const char* name);
bool  library_close(void* library);
const char* library_error();  // the system's reason why the last open or lookup failed

// Zero-filled memory for a large table probed at random (the hash table, the evaluation cache).
// Pages are taken only as they are first touched, and in large pages where the system grants
// them: with small pages most probes of a wide table would also miss the address cache.
void* table_memory_alloc(size_t bytes);  // nullptr when the memory is not there
void  table_memory_free(void* memory, size_t bytes);  // the size it was allocated with; null is ignored
