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
};

// Starts the program in a fresh temporary directory holding `ini` as tolvane.ini (none when
// empty), with the given command-line arguments. The program is the built one, or the command
// in the environment variable TOLVANE_ENGINE (words split at blanks; the last names the program;
// files by absolute paths, as the program starts in the temporary directory).
bool session_start(Session* s, const std::string& ini = "",
                   const std::vector<std::string>& args = {});
// The same, with standard input redirected from a file holding `input`; nothing can be sent.
bool session_start_with_file(Session* s, const std::string& input, const std::string& ini = "");
// The folder of the program under test; its bitbase library is in egbb/ there.
std::string session_engine_folder();
void session_send(Session* s, const std::string& line);
// The next line without its newline; false at the end of output or after a bound that only
// catches a hang.
bool session_line(Session* s, std::string* line);
// Reads lines until one starts with `prefix`, console prompts aside; false if none came.
bool session_expect(Session* s, const std::string& prefix);
// Lines up to and including the first that starts with `prefix`; a failure if none came.
std::string session_until(Session* s, const std::string& prefix);
// Sends the lines and a ping; returns everything printed before the matching pong. The program
// reads lines in order, so the pong comes after all their output.
std::string session_exchange(Session* s, const std::vector<std::string>& lines);
// Closes the program's input, reads the rest and returns its exit status (-1 if it did not
// exit normally). The temporary directory is removed.
int session_finish(Session* s);

int count_of(const std::string& text, const std::string& needle);
