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
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// Generous: it only turns a hang into a failure; no test asserts on how long anything takes.
constexpr int WAIT_MS = 120000;

// The words of the command that runs the program under test.
std::vector<std::string> engine_command() {
    std::vector<std::string> words;
    const char* command = getenv("TOLVANE_ENGINE");
    std::istringstream text(command != nullptr && *command != '\0' ? command : TOLVANE_BINARY);
    for (std::string word; text >> word;) words.push_back(word);
    return words;
}

// Standard input is a pipe of ours, or the file `input_file` when one is given.
bool start(Session* s, const std::string& ini, const std::vector<std::string>& args,
           const std::string* input_file) {
    char pattern[] = "/tmp/tolvane_shell_XXXXXX";
    int in_pipe[2], out_pipe[2];
    if (mkdtemp(pattern) == nullptr || pipe(in_pipe) != 0 || pipe(out_pipe) != 0) return false;
    s->directory = pattern;
    if (!ini.empty()) std::ofstream(s->directory + "/tolvane.ini") << ini;
    if (input_file != nullptr) {
        std::ofstream(s->directory + "/input.txt", std::ios::binary) << *input_file;
        close(in_pipe[0]);
        in_pipe[0] = open((s->directory + "/input.txt").c_str(), O_RDONLY);
        if (in_pipe[0] < 0) return false;
    }
    std::vector<std::string> words = engine_command();
    for (const std::string& a : args) words.push_back(a);
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
        if (chdir(pattern) != 0) _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    s->to_child = in_pipe[1];
    if (input_file != nullptr) {
        close(s->to_child);
        s->to_child = -1;
    }
    s->from_child = out_pipe[0];
    return true;
}

}  // namespace

bool session_start(Session* s, const std::string& ini, const std::vector<std::string>& args) {
    return start(s, ini, args, nullptr);
}

bool session_start_with_file(Session* s, const std::string& input, const std::string& ini) {
    return start(s, ini, {}, &input);
}

std::string session_engine_folder() {
    std::string engine = engine_command().back();
    size_t slash = engine.find_last_of('/');
    return slash == std::string::npos ? "." : engine.substr(0, slash);
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
        if (s->ended || poll(&fd, 1, WAIT_MS) <= 0) return false;
        char buffer[4096];
        ssize_t n = read(s->from_child, buffer, sizeof buffer);
        if (n <= 0) s->ended = true;
        else s->pending.append(buffer, static_cast<size_t>(n));
    }
}

bool session_expect(Session* s, const std::string& prefix) {
    std::string line;
    while (session_line(s, &line)) {
        while (line.rfind("tolvane> ", 0) == 0) line.erase(0, 9);  // console prompts
        if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

std::string session_until(Session* s, const std::string& prefix) {
    std::string text, line;
    while (session_line(s, &line)) {
        text += line + "\n";
        if (line.rfind(prefix, 0) == 0) return text;
    }
    ADD_FAILURE() << "no line starting with " << prefix << " after: " << text;
    return text;
}

std::string session_exchange(Session* s, const std::vector<std::string>& lines) {
    static int counter = 100;
    std::string pong = "pong " + std::to_string(++counter);
    for (const std::string& line : lines) session_send(s, line);
    session_send(s, "ping " + std::to_string(counter));
    std::string text, line;
    while (session_line(s, &line)) {
        if (line == pong) return text;
        text += line + "\n";
    }
    ADD_FAILURE() << "no " << pong << " after: " << text;
    return text;
}

int session_finish(Session* s) {
    if (s->to_child >= 0) close(s->to_child);
    s->to_child = -1;
    std::string line;
    while (session_line(s, &line)) {
    }
    if (!s->ended) kill(s->pid, SIGKILL);
    int status = 0;
    waitpid(s->pid, &status, 0);
    close(s->from_child);
    std::error_code ignored;
    std::filesystem::remove_all(s->directory, ignored);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int count_of(const std::string& text, const std::string& needle) {
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        count++;
    return count;
}
