// POSIX bodies of the platform calls: monotonic clock, stdin, and shared libraries.
#include <dlfcn.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

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
