// Line reader and pending-input test over one shared buffer, so neither misses what the other read.
#include <cstdio>
#include <cstring>

#include "platform/os.h"
#include "platform/platform.h"

namespace {

constexpr size_t BUFFER_SIZE = 1 << 16;

char buffer[BUFFER_SIZE];
size_t head = 0;  // first unread byte
size_t tail = 0;  // one past the last read byte
bool at_eof = false;

const char* find_newline() {
    return static_cast<const char*>(memchr(buffer + head, '\n', tail - head));
}

// Blocks for more bytes; false once input has ended.
bool fill() {
    if (at_eof) return false;
    if (head > 0) {
        memmove(buffer, buffer + head, tail - head);
        tail -= head;
        head = 0;
    }
    long n = os_read_stdin(buffer + tail, BUFFER_SIZE - tail);
    if (n <= 0) {
        at_eof = true;
        return false;
    }
    tail += static_cast<size_t>(n);
    return true;
}

// Appends bytes to the caller's line, keeping at most size - 1 of them.
void keep(char* line, size_t size, size_t* length, const char* from, size_t count) {
    size_t room = size - 1 - *length;
    size_t taken = count < room ? count : room;
    memcpy(line + *length, from, taken);
    *length += taken;
}

}  // namespace

bool input_pending() {
    if (head < tail || at_eof) return true;
    return os_stdin_ready() != 0;
}

bool peek_line(char* line, size_t size) {
    if (size == 0) return false;
    // One read cannot block once the OS says bytes are there.
    if (find_newline() == nullptr && !at_eof && (head > 0 || tail < BUFFER_SIZE) && os_stdin_ready()) {
        fill();
    }
    const char* newline = find_newline();
    // A line longer than the whole buffer can never be seen whole: its start stands for it.
    if (newline == nullptr && head == 0 && tail == BUFFER_SIZE) newline = buffer + tail;
    if (newline == nullptr) return false;
    size_t length = 0;
    keep(line, size, &length, buffer + head, static_cast<size_t>(newline - (buffer + head)));
    if (length > 0 && line[length - 1] == '\r') length--;
    line[length] = '\0';
    return true;
}

bool input_ended() { return at_eof; }

bool read_line(char* line, size_t size) {
    if (size == 0) return false;
    // Whatever was printed must be visible before we wait for the answer.
    fflush(stdout);
    size_t length = 0;
    bool got_any = false;
    for (;;) {
        const char* newline = find_newline();
        if (newline != nullptr) {
            size_t count = static_cast<size_t>(newline - (buffer + head));
            keep(line, size, &length, buffer + head, count);
            head += count + 1;
            got_any = true;
            break;
        }
        if (tail == BUFFER_SIZE && head == 0) {
            // A line longer than the whole buffer: keep its start, drop the middle.
            keep(line, size, &length, buffer, tail);
            head = tail = 0;
            got_any = true;
        }
        if (!fill()) {
            if (head < tail) {
                keep(line, size, &length, buffer + head, tail - head);
                head = tail = 0;
                got_any = true;
            }
            break;
        }
    }
    if (!got_any) return false;
    if (length > 0 && line[length - 1] == '\r') length--;
    line[length] = '\0';
    return true;
}
