// POSIX bodies of the platform calls: monotonic clock, stdin, shared libraries, table memory.
#include <dlfcn.h>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/os.h"
#include "platform/platform.h"

int64_t now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

long os_read_stdin(char* buffer, size_t size) {
    for (;;) {
        ssize_t n = read(STDIN_FILENO, buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) return 0;
    }
}

int os_stdin_ready() {
    pollfd fd = {STDIN_FILENO, POLLIN, 0};
    int n = poll(&fd, 1, 0);
    if (n < 0) return errno == EINTR ? 0 : 1;
    // A hang-up or an error counts as input: the interface has gone away.
    return n > 0 && (fd.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void* library_open(const char* file_name) { return dlopen(file_name, RTLD_NOW | RTLD_LOCAL); }

void* library_symbol(void* library, const char* name) { return dlsym(library, name); }

bool library_close(void* library) { return dlclose(library) == 0; }

const char* library_error() {
    const char* reason = dlerror();
    return reason ? reason : "unknown reason";
}

namespace {

constexpr size_t LARGE_PAGE_BYTES = size_t{2} << 20;

size_t large_pages_for(size_t bytes) { return (bytes + LARGE_PAGE_BYTES - 1) & ~(LARGE_PAGE_BYTES - 1); }

}  // namespace

// The mapping starts on a large-page boundary, so that every page of the table can be a large
// one; the room asked for beyond that is handed back at once.
void* table_memory_alloc(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX / 2) return nullptr;
    const size_t size = large_pages_for(bytes);
    const size_t span = size + LARGE_PAGE_BYTES;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t first = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t start = (first + LARGE_PAGE_BYTES - 1) & ~(uintptr_t{LARGE_PAGE_BYTES} - 1);
    const size_t head = start - first;
    if (head > 0) munmap(raw, head);
    if (span - head > size) munmap(reinterpret_cast<void*>(start + size), span - head - size);
#if defined(MADV_HUGEPAGE)
    // Only advice: where large pages are not granted, small ones serve the same.
    madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(start);
}

void table_memory_free(void* memory, size_t bytes) {
    if (memory != nullptr) munmap(memory, large_pages_for(bytes));
}
