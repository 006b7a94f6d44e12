// Pipe-pair sessions with the real program, each in its own temporary working directory.
// TOLVANE_ENGINE, when set, is the command that runs it (e.g. a Windows build under wine).
#include "support/session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

// A bound on each read that only turns a hang into a failure: seconds for a native program, a
// long one under wine or a sanitizer, which start and run many times slower.
int wait_ms() {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    return 120000;
#else
    const char* command = getenv("TOLVANE_ENGINE");
    return command != nullptr && strstr(command, "wine") != nullptr ? 120000 : 20000;
#endif
}

}  // namespace

std::vector<std::string> engine_command() {
    std::vector<std::string> words;
    const char* command = getenv("TOLVANE_ENGINE");
    std::istringstream text(command != nullptr && *command != '\0' ? command : TOLVANE_BINARY);
    for (std::string word; text >> word;) words.push_back(word);
    return words;
}

bool session_open(Session* s, const std::string& ini) {
    char pattern[] = "/tmp/tolvane_shell_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    s->directory = pattern;
    if (!ini.empty()) std::ofstream(s->directory + "/tolvane.ini") << ini;
    return true;
}

bool session_launch(Session* s, const std::vector<std::string>& command) {
    int in_pipe[2], out_pipe[2];
    // Our ends are closed in every later child, or another session's program would hold this
    // one's input open after we close it.
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0) return false;
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    signal(SIGPIPE, SIG_IGN);
    s->pid = fork();
    if (s->pid < 0) return false;
    if (s->pid == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(out_pipe[1], STDERR_FILENO);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1]}) close(fd);
        if (chdir(s->directory.c_str()) != 0) _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    s->to_child = in_pipe[1];
    s->from_child = out_pipe[0];
    return true;
}

bool session_start(Session* s, const std::string& ini, const std::vector<std::string>& args) {
    std::vector<std::string> words = engine_command();
    words.insert(words.end(), args.begin(), args.end());
    return session_open(s, ini) && session_launch(s, words);
}

void session_send(Session* s, const std::string& line) {
    std::string text = line + "\n";
    for (size_t done = 0; s->to_child >= 0 && done < text.size();) {
        ssize_t n = write(s->to_child, text.data() + done, text.size() - done);
        if (n <= 0) return;  // the program has gone; the reads will tell
        done += static_cast<size_t>(n);
    }
}

bool session_line(Session* s, std::string* line) {
    for (;;) {
        size_t newline = s->pending.find('\n');
        // A last line without a newline (a prompt, for instance) counts once the output ends.
        if (newline != std::string::npos || (s->ended && !s->pending.empty())) {
            *line = s->pending.substr(0, newline);
            s->pending.erase(0, newline == std::string::npos ? newline : newline + 1);
            // A Windows build ends its lines with a carriage return too.
            if (!line->empty() && line->back() == '\r') line->pop_back();
            s->transcript += *line + "\n";
            return true;
        }
        pollfd fd = {s->from_child, POLLIN, 0};
        if (s->ended || poll(&fd, 1, wait_ms()) <= 0) return false;
        char buffer[4096];
        ssize_t n = read(s->from_child, buffer, sizeof buffer);
        if (n <= 0) s->ended = true;
        else s->pending.append(buffer, static_cast<size_t>(n));
    }
}

bool session_expect(Session* s, const std::string& prefix) {
    std::string line;
    while (session_line(s, &line))
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string session_until(Session* s, const std::string& prefix) {
    size_t from = s->transcript.size();
    if (!session_expect(s, prefix)) ADD_FAILURE() << "no line starting with " << prefix << " after: " << s->transcript;
    return s->transcript.substr(from);
}

int session_finish(Session* s) {
    if (s->to_child >= 0) close(s->to_child);
    s->to_child = -1;
    std::string line;
    while (s->from_child >= 0 && session_line(s, &line)) {
    }
    int status = -1;
    if (s->pid > 0) {
        if (!s->ended) kill(s->pid, SIGKILL);
        waitpid(s->pid, &status, 0);
    }
    s->pid = -1;
    if (s->from_child >= 0) close(s->from_child);
    s->from_child = -1;
    std::error_code ignored;
    if (!s->directory.empty()) std::filesystem::remove_all(s->directory, ignored);
    s->directory.clear();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Session::~Session() {
    if (pid > 0) kill(pid, SIGKILL);
    if (pid > 0 || !directory.empty()) session_finish(this);
}

int count_of(const std::string& text, const std::string& needle) {
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        count++;
    return count;
}

std::string first_match(const std::string& text, const std::string& regex) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(regex)) ? m[1].str() : "";
}

std::string session_exchange(Session* s, const std::vector<std::string>& lines) {
    static int counter = 0;
    for (const std::string& line : lines) session_send(s, line);
    const std::string pong = "pong " + std::to_string(++counter);
    session_send(s, "ping " + std::to_string(counter));
    std::string out = session_until(s, pong);
    return out.substr(0, out.size() - pong.size() - 1);
}
