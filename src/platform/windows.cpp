// Windows bodies of the platform calls: tick clock, standard input of every kind, DLLs, table
// memory.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/os.h"
#include "platform/platform.h"

namespace {

// How standard input is watched without blocking; decided at the first call.
enum InputKind {
    INPUT_UNKNOWN,
    INPUT_CONSOLE,  // a line waits when an Enter key-down event waits
    INPUT_PIPE,     // PeekNamedPipe counts the bytes that wait
    INPUT_FILE,     // reading never waits: there are always bytes or the end
    INPUT_READER,   // nothing can be peeked: a thread reads ahead into a buffer we can look at
};

HANDLE input_handle = nullptr;
InputKind input_kind = INPUT_UNKNOWN;

// The reader thread's buffer. The thread fills it; os_read_stdin empties it; both under `lock`.
constexpr size_t READ_AHEAD_SIZE = 1 << 16;
constexpr DWORD READ_CHUNK_SIZE = 4096;
CRITICAL_SECTION lock;
CONDITION_VARIABLE bytes_arrived;  // bytes or the end of input came in
CONDITION_VARIABLE room_freed;
char read_ahead[READ_AHEAD_SIZE];
size_t read_ahead_count = 0;
bool read_ahead_ended = false;

DWORD WINAPI reader_main(void*) {
    char chunk[READ_CHUNK_SIZE];
    for (;;) {
        DWORD got = 0;
        bool ok = ReadFile(input_handle, chunk, sizeof chunk, &got, nullptr) && got > 0;
        EnterCriticalSection(&lock);
        if (!ok) {
            read_ahead_ended = true;
            WakeAllConditionVariable(&bytes_arrived);
            LeaveCriticalSection(&lock);
            return 0;
        }
        while (read_ahead_count + got > READ_AHEAD_SIZE)
            SleepConditionVariableCS(&room_freed, &lock, INFINITE);
        memcpy(read_ahead + read_ahead_count, chunk, got);
        read_ahead_count += got;
        WakeAllConditionVariable(&bytes_arrived);
        LeaveCriticalSection(&lock);
    }
}

void start_reader() {
    InitializeCriticalSection(&lock);
    InitializeConditionVariable(&bytes_arrived);
    InitializeConditionVariable(&room_freed);
    input_kind = INPUT_READER;
    HANDLE thread = CreateThread(nullptr, 0, reader_main, nullptr, 0, nullptr);
    if (thread == nullptr) {
        // Without a reader nothing can be watched: the input counts as ended, so a search
        // stops rather than waits forever.
        read_ahead_ended = true;
        return;
    }
    CloseHandle(thread);
}

long reader_take(char* buffer, size_t size) {
    EnterCriticalSection(&lock);
    while (read_ahead_count == 0 && !read_ahead_ended)
        SleepConditionVariableCS(&bytes_arrived, &lock, INFINITE);
    size_t taken = read_ahead_count < size ? read_ahead_count : size;
    memcpy(buffer, read_ahead, taken);
    memmove(read_ahead, read_ahead + taken, read_ahead_count - taken);
    read_ahead_count -= taken;
    WakeAllConditionVariable(&room_freed);
    LeaveCriticalSection(&lock);
    return static_cast<long>(taken);
}

int reader_ready() {
    EnterCriticalSection(&lock);
    int ready = read_ahead_count > 0 || read_ahead_ended;
    LeaveCriticalSection(&lock);
    return ready;
}

void init_input() {
    if (input_kind != INPUT_UNKNOWN) return;
    input_handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(input_handle, &mode)) {
        // Window and mouse events only fill the queue; they are never part of a line.
        SetConsoleMode(input_handle, mode & ~(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
        input_kind = INPUT_CONSOLE;
        return;
    }
    switch (GetFileType(input_handle)) {
        case FILE_TYPE_DISK: input_kind = INPUT_FILE; break;
        case FILE_TYPE_PIPE: input_kind = INPUT_PIPE; break;  // until a peek says otherwise
        default: start_reader(); break;
    }
}

// A line-mode console hands out nothing before Return, so only a waiting Enter key is a line;
// any other key, its release, focus and menu events must neither stop a search nor block it.
int console_line_waiting() {
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(input_handle, &count)) return 1;  // the console is gone
    if (count == 0) return 0;
    std::vector<INPUT_RECORD> events(count);
    DWORD seen = 0;
    if (!PeekConsoleInputA(input_handle, events.data(), count, &seen)) return 1;
    for (DWORD i = 0; i < seen; i++) {
        const KEY_EVENT_RECORD& key = events[i].Event.KeyEvent;
        if (events[i].EventType == KEY_EVENT && key.bKeyDown &&
            (key.wVirtualKeyCode == VK_RETURN || key.uChar.AsciiChar == '\r'))
            return 1;
    }
    return 0;
}

int pipe_ready() {
    DWORD available = 0;
    if (PeekNamedPipe(input_handle, nullptr, 0, nullptr, &available, nullptr)) return available > 0;
    DWORD error = GetLastError();
    // The writer has gone: that is the end of input, which counts as pending.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED) return 1;
    // This pipe cannot be peeked (wine's pipes to the host fail with ERROR_NOT_SUPPORTED).
    start_reader();
    return reader_ready();
}

}  // namespace

int64_t now_ms() { return static_cast<int64_t>(GetTickCount64()); }

long os_read_stdin(char* buffer, size_t size) {
    init_input();
    if (input_kind == INPUT_READER) return reader_take(buffer, size);
    DWORD got = 0;
    if (!ReadFile(input_handle, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return static_cast<long>(got);
}

int os_stdin_ready() {
    init_input();
    switch (input_kind) {
        case INPUT_CONSOLE: return console_line_waiting();
        case INPUT_PIPE: return pipe_ready();
        case INPUT_READER: return reader_ready();
        default: return 1;  // a file
    }
}

void* library_open(const char* file_name) {
    // LoadLibrary wants backslashes, and must not stop a headless engine with an error box.
    char name[MAX_PATH];
    size_t length = strlen(file_name);
    if (length >= sizeof name) return nullptr;
    for (size_t i = 0; i <= length; i++) name[i] = file_name[i] == '/' ? '\\' : file_name[i];
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(name);
    SetErrorMode(old_mode);
    return reinterpret_cast<void*>(library);
}

void* library_symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

bool library_close(void* library) { return FreeLibrary(static_cast<HMODULE>(library)) != 0; }

const char* library_error() {
    static char reason[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  GetLastError(), 0, reason, sizeof reason, nullptr);
    if (length == 0) return "unknown reason";
    // The system's text ends its sentence with a line break.
    while (length > 0 && (reason[length - 1] == '\n' || reason[length - 1] == '\r' || reason[length - 1] == ' ' ||
                          reason[length - 1] == '.'))
        reason[--length] = '\0';
    return reason;
}

// Large pages need a privilege that users rarely hold, so the table takes ordinary pages; they
// are zero-filled and given as they are touched.
void* table_memory_alloc(size_t bytes) {
    if (bytes == 0) return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void table_memory_free(void* memory, size_t) {
    if (memory != nullptr) VirtualFree(memory, 0, MEM_RELEASE);
}
