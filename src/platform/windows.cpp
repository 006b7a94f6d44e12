// Windows bodies of the platform calls: tick clock, console or pipe stdin, and DLLs.
#include <windows.h>

#include "platform/os.h"
#include "platform/platform.h"

namespace {

HANDLE input_handle = nullptr;
bool input_is_pipe = false;

void init_input() {
    if (input_handle != nullptr) return;
    input_handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    input_is_pipe = !GetConsoleMode(input_handle, &mode);
    if (!input_is_pipe) {
        // Window and mouse events would count as input without being a line.
        SetConsoleMode(input_handle, mode & ~(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
        FlushConsoleInputBuffer(input_handle);
    }
}

}  // namespace

int64_t now_ms() { return static_cast<int64_t>(GetTickCount64()); }

long os_read_stdin(char* buffer, size_t size) {
    init_input();
    DWORD got = 0;
    if (!ReadFile(input_handle, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return static_cast<long>(got);
}

int os_stdin_ready() {
    init_input();
    if (input_is_pipe) {
        DWORD available = 0;
        if (!PeekNamedPipe(input_handle, nullptr, 0, nullptr, &available, nullptr)) return 1;
        return available > 0;
    }
    DWORD events = 0;
    GetNumberOfConsoleInputEvents(input_handle, &events);
    return events >= 2;
}

void* library_open(const char* file_name) { return reinterpret_cast<void*>(LoadLibraryA(file_name)); }

void* library_symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

bool library_close(void* library) { return FreeLibrary(static_cast<HMODULE>(library)) != 0; }
