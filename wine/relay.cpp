// Test-only: runs a program behind real Windows pipes and relays this process's own standard
// input and output to it, so a Windows build under wine reads the pipes a Windows GUI gives it.
// Usage: relay PROGRAM [ARGUMENT...]. The exit status is the program's.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HANDLE program_input;  // our end of the program's standard input

// Bytes from one handle to the other until the first ends or the second refuses them.
void copy(HANDLE from, HANDLE to) {
    char buffer[4096];
    DWORD got = 0, put = 0;
    while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        for (DWORD done = 0; done < got; done += put)
            if (!WriteFile(to, buffer + done, got - done, &put, nullptr)) return;
    }
}

// When our input ends, or the program stops reading, the program sees the end of its input.
DWORD WINAPI relay_input(void*) {
    copy(GetStdHandle(STD_INPUT_HANDLE), program_input);
    CloseHandle(program_input);
    return 0;
}

// One argument as the program's C runtime will split it back out of the command line.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string text = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled, and the quote escaped.
        text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, '\\');
    text += '"';
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: relay PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    std::string command = quoted(argv[1]);
    for (int i = 2; i < argc; i++) {
        command += ' ';
        command += quoted(argv[i]);
    }

    // Two anonymous pipes; only the program's ends are inherited.
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE input_read, output_read, output_write;
    if (!CreatePipe(&input_read, &program_input, &inherited, 0) ||
        !CreatePipe(&output_read, &output_write, &inherited, 0)) {
        fprintf(stderr, "relay: cannot create pipes (error %lu)\n", GetLastError());
        return 126;
    }
    SetHandleInformation(program_input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_read;
    startup.hStdOutput = output_write;
    startup.hStdError = output_write;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        fprintf(stderr, "relay: cannot start %s (error %lu)\n", argv[1], GetLastError());
        return 127;
    }
    // Only the program may hold its ends now, so each side sees the other end.
    CloseHandle(input_read);
    CloseHandle(output_write);
    CloseHandle(process.hThread);
    HANDLE input_thread = CreateThread(nullptr, 0, relay_input, nullptr, 0, nullptr);
    if (input_thread) CloseHandle(input_thread);

    copy(output_read, GetStdHandle(STD_OUTPUT_HANDLE));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
