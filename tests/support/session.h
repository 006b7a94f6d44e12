// Drives the real program through a pipe pair, as an interface does: lines in, lines out.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct Session {
    pid_t pid = -1;
    int to_child = -1;
    int from_child = -1;
    std::string directory;   // the program's private working directory, removed at the end
    std::string pending;     // bytes read but not yet returned as lines
    std::string transcript;  // every line returned so far, each ended by a newline
    bool ended = false;      // the program closed its output
    ~Session();              // a session left by a failed assertion is ended and removed
};

// The words of the command that runs the program under test: the built one, or the command in
// the environment variable TOLVANE_ENGINE (words split at blanks; the last names the program;
// files by absolute paths, as the program starts in its temporary directory).
std::vector<std::string> engine_command();
// Makes the private directory, holding `ini` as tolvane.ini (none when empty).
bool session_open(Session* s, const std::string& ini = "");
// Runs the command in the session's directory with our pipes.
bool session_launch(Session* s, const std::vector<std::string>& command);
// Both: the program with the given command-line arguments.
bool session_start(Session* s, const std::string& ini = "", const std::vector<std::string>& args = {});
void session_send(Session* s, const std::string& line);
// The next line without its newline; false at the end of output or after a bound that only
// catches a hang.
bool session_line(Session* s, std::string* line);
// Reads lines until one starts with `prefix`; false if none came.
bool session_expect(Session* s, const std::string& prefix);
// Lines up to and including the first that starts with `prefix`; a failure if none came.
std::string session_until(Session* s, const std::string& prefix);
// Sends the lines and an xboard ping; what came before the pong. Lines are read in order, so
// their output all comes before it.
std::string session_exchange(Session* s, const std::vector<std::string>& lines);
// Closes the program's input, reads the rest and returns its exit status (-1 if it did not
// exit normally). The temporary directory is removed.
int session_finish(Session* s);

int count_of(const std::string& text, const std::string& needle);
// The text of a regular expression's first group in `text`, or "" without a match.
std::string first_match(const std::string& text, const std::string& regex);
