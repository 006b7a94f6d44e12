// The platform calls for the fuzzing build, linked in place of the OS bodies and the input buffer:
// a case's bytes are the whole of standard input, and input is always pending (a line or its
// end), so every search stops at its first look at the input. No library ever loads.
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "memory_platform.h"

namespace {

const char* input = nullptr;
size_t input_size = 0;
size_t next = 0;

// The line at next: its length without the newline, and whether a newline ends it.
size_t line_length(bool* whole) {
    const void* newline = memchr(input + next, '\n', input_size - next);
    *whole = newline != nullptr;
    return *whole ? static_cast<size_t>(static_cast<const char*>(newline) - (input + next))
                 : input_size - next;
}

// The line cut to size - 1 bytes, a carriage return before its end dropped, as the OS bodies do.
void copy_line(char* line, size_t size, size_t length) {
    size_t kept = length < size - 1 ? length : size - 1;
    memcpy(line, input + next, kept);
    if (kept > 0 && line[kept - 1] == '\r') kept--;
    line[kept] = '\0';
}

}  // namespace

void memory_input_set(const uint8_t* data, size_t size) {
    input = reinterpret_cast<const char*>(data);
    input_size = size;
    next = 0;
}

int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool input_pending() { return true; }

bool peek_line(char* line, size_t size) {
    if (size == 0 || next >= input_size) return false;
    bool whole = false;
    size_t length = line_length(&whole);
    if (!whole) return false;
    copy_line(line, size, length);
    return true;
}

bool input_ended() { return next >= input_size; }

bool read_line(char* line, size_t size) {
    if (size == 0 || next >= input_size) return false;
    bool whole = false;
    size_t length = line_length(&whole);
    copy_line(line, size, length);
    next += length + (whole ? 1 : 0);
    return true;
}

void* library_open(const char*) { return nullptr; }
void* library_symbol(void*, const char*) { return nullptr; }
bool library_close(void*) { return true; }
const char* library_error() { return "no libraries while fuzzing"; }

// The heap, where the address sanitizer watches every byte.
void* table_memory_alloc(size_t bytes) { return bytes == 0 ? nullptr : std::calloc(bytes, 1); }
void table_memory_free(void* memory, size_t) { std::free(memory); }
