// Pipe-pair sessions with the real program, each in its own temporary working directory.
#include "support/session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

long long millis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Reads what the program wrote within wait_ms; false at the end of its output or on timeout.
bool read_more(Session* s, int wait_ms) {
    if (s->ended) return false;
    pollfd fd = {s->from_child, POLLIN, 0};
    int ready = poll(&fd, 1, wait_ms);
    if (ready <= 0) return false;
    char buffer[4096];
    ssize_t n = read(s->from_child, buffer, sizeof buffer);
    if (n <= 0) {
        s->ended = true;
        return false;
    }
    s->pending.append(buffer, static_cast<size_t>(n));
    return true;
}

}  // namespace

bool session_start(Session* s, const std::string& ini, const std::vector<std::string>& args) {
    char pattern[] = "/tmp/tolvane_shell_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    s->directory = pattern;
    if (!ini.empty()) {
        std::ofstream file(s->directory + "/tolvane.ini");
        file << ini;
    }
    int in_pipe[2];
    int out_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) return false;
    signal(SIGPIPE, SIG_IGN);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(out_pipe[1], STDERR_FILENO);
        close(in_pipe[0]);
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(out_pipe[1]);
        if (chdir(s->directory.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TOLVANE_BINARY));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TOLVANE_BINARY, argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    s->pid = pid;
    s->to_child = in_pipe[1];
    s->from_child = out_pipe[0];
    return true;
}

void session_send(Session* s, const std::string& line) {
    if (s->to_child < 0) return;
    std::string text = line + "\n";
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(s->to_child, p, left);
        if (n <= 0) return;  // the program has gone; the reads will tell
        p += n;
        left -= static_cast<size_t>(n);
    }
}

bool session_line(Session* s, std::string* line, int wait_ms) {
    long long deadline = millis() + wait_ms;
    for (;;) {
        size_t newline = s->pending.find('\n');
        if (newline != std::string::npos) {
            *line = s->pending.substr(0, newline);
            s->pending.erase(0, newline + 1);
            s->transcript += *line + "\n";
            return true;
        }
        long long left = deadline - millis();
        if (left <= 0 || !read_more(s, static_cast<int>(left))) {
            if (s->ended && !s->pending.empty()) {
                // A last line without a newline (a prompt, for instance).
                *line = s->pending;
                s->pending.clear();
                s->transcript += *line + "\n";
                return true;
            }
            if (!s->ended && millis() < deadline) continue;
            return false;
        }
    }
}

bool session_expect(Session* s, const std::string& prefix, std::string* found, int wait_ms) {
    long long deadline = millis() + wait_ms;
    std::string line;
    for (;;) {
        long long left = deadline - millis();
        if (left <= 0) return false;
        if (!session_line(s, &line, static_cast<int>(left))) return false;
        // A prompt may precede the text on the same line.
        std::string rest = line;
        while (rest.rfind("tolvane> ", 0) == 0) rest = rest.substr(9);
        if (rest.rfind(prefix, 0) == 0) {
            if (found != nullptr) *found = rest;
            return true;
        }
    }
}

int session_finish(Session* s) {
    if (s->to_child >= 0) close(s->to_child);
    s->to_child = -1;
    std::string line;
    long long deadline = millis() + SESSION_WAIT_MS;
    while (!s->ended && millis() < deadline) {
        if (!session_line(s, &line, 1000)) continue;
    }
    while (session_line(s, &line, 0)) {
    }
    if (!s->ended) kill(s->pid, SIGKILL);
    int status = 0;
    waitpid(s->pid, &status, 0);
    close(s->from_child);
    s->from_child = -1;
    std::error_code ignored;
    std::filesystem::remove_all(s->directory, ignored);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SessionResult run_session(const std::vector<std::string>& lines, const std::string& ini,
                          const std::vector<std::string>& args) {
    Session s;
    if (!session_start(&s, ini, args)) return {"", -1};
    for (const std::string& line : lines) session_send(&s, line);
    int status = session_finish(&s);
    return {s.transcript, status};
}

std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (line.rfind("tolvane> ", 0) == 0) line = line.substr(9);
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
        start = end + 1;
    }
    return found;
}

int count_of(const std::string& text, const std::string& needle) {
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        count++;
    }
    return count;
}
