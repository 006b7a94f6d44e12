// Drives the real program through a pipe pair, as an interface does: lines in, lines out.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A generous bound that only catches a hang; no test asserts on how long anything takes.
constexpr int SESSION_WAIT_MS = 120000;

struct Session {
    pid_t pid = -1;
    int to_child = -1;
    int from_child = -1;
    std::string directory;  // the program's private working directory
    std::string pending;    // bytes read but not yet returned as lines
    std::string transcript; // every line returned so far, each ended by a newline
    bool ended = false;     // the program closed its output
};

// Starts the program in a fresh temporary directory holding `ini` as tolvane.ini (none when
// empty), with the given command-line arguments.
bool session_start(Session* s, const std::string& ini = "",
                   const std::vector<std::string>& args = {});
void session_send(Session* s, const std::string& line);
// The next whole line (without its newline); false at the end of output or after the bound.
bool session_line(Session* s, std::string* line, int wait_ms = SESSION_WAIT_MS);
// Reads lines until one starts with `prefix`; that line in *found. False if none came.
bool session_expect(Session* s, const std::string& prefix, std::string* found = nullptr,
                    int wait_ms = SESSION_WAIT_MS);
// Closes the program's input, reads all that is left and returns its exit status (-1 if it
// did not end normally). The temporary directory is removed.
int session_finish(Session* s);

// Everything at once: the lines are sent, input is closed, all output returned.
struct SessionResult {
    std::string output;
    int status;
};
SessionResult run_session(const std::vector<std::string>& lines, const std::string& ini = "",
                          const std::vector<std::string>& args = {});

// Lines of text that start with `prefix`.
std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix);
int count_of(const std::string& text, const std::string& needle);
