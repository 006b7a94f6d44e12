// Sessions written down as data: every tests/<folder>/sessions/<suite>/<name>.txt of this test
// program's folder is the test Suite.Name (each part in camel case). A transcript's lines:
//   # text       a comment; blank lines are skipped too
//   ini: text    a line of the session's tolvane.ini     args: words   the program's arguments
//   $ command    a shell command run in the session's folder before the program starts; its
//                output is read as the program's would be (2>&1 to read its errors too)
//   > text       a line sent to the program, which starts at the first of these
//   < text       the next line read must be this text, blanks at the end aside
//   ~ regex      the next line read must match this regular expression, whole, as above
// Lines are read as they come: a console prompt is part of the line printed after it. A search's
// progress lines (xboard thinking lines, UCI info lines other than info string) are skipped while
// they do not meet the expectation; any other line must meet it. After the transcript's last line
// the program's input is closed: it must print nothing more at all and exit with status 0, as must
// a shell command before the next one or the program starts. In the texts, {N*text} stands for
// the text N times, {engine} for the program's folder, {program} for the command that runs it,
// {book} for the book tool and {build} for the build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/session.h"

namespace {

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string expand(std::string text) {
    std::vector<std::string> words = engine_command();
    std::string program;
    for (const std::string& word : words) program += (program.empty() ? "" : " ") + word;
    const std::string engine = words.back().substr(0, words.back().find_last_of('/'));
    text = replace_all(replace_all(text, "{engine}", engine), "{program}", program);
    text = replace_all(replace_all(text, "{book}", TOLVANE_BOOK_BINARY), "{build}", TOLVANE_BUILD_DIR);
    static const std::regex repeat("\\{(\\d+)\\*([^}]*)\\}");
    for (std::smatch m; std::regex_search(text, m, repeat);) {
        std::string times;
        for (int i = std::stoi(m[1]); i > 0; i--) times += m[2].str();
        text.replace(m.position(), m.length(), times);
    }
    return text;
}

std::string trimmed(const std::string& text) { return text.substr(0, text.find_last_not_of(' ') + 1); }

bool is_progress(const std::string& line) {
    static const std::regex progress("\\d+ -?\\d+ \\d+ \\d+( .*)?|info (?!string ).*");
    return std::regex_match(line, progress);
}

std::string last_lines(const Session& s) {
    size_t at = s.transcript.size();
    for (int n = 0; n < 12 && at > 0; n++) at = s.transcript.rfind('\n', at - 2) + 1;
    return s.transcript.substr(at == std::string::npos ? 0 : at);
}

class Transcript : public testing::Test {
    const std::string path;
    Session program, command;  // the program and the last shell command share one folder
    Session* reading = nullptr;

    // Ends the session being read: it must print nothing more and exit normally.
    void end(Session* s, const std::string& where) {
        size_t seen = s->transcript.size();
        int status = session_finish(s);
        EXPECT_EQ(s->transcript.substr(seen), "") << where << "printed after the last expectation";
        EXPECT_EQ(status, 0) << where << "exit status; last lines:\n" << last_lines(*s);
    }

public:
    explicit Transcript(std::string file) : path(std::move(file)) {}

    void TestBody() override {
        std::ifstream file(path);
        std::vector<std::string> lines;
        std::string ini, args;
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
            if (line.starts_with("ini: ")) ini += expand(line.substr(5)) + "\n";
            if (line.starts_with("args: ")) args += " " + expand(line.substr(6));
        }
        ASSERT_TRUE(session_open(&program, ini));
        for (size_t n = 0; n < lines.size(); n++) {
            const std::string where = path + ":" + std::to_string(n + 1) + ": ";
            const std::string& line = lines[n];
            const char kind = line.find_first_of("$><~") == 0 && (line.size() == 1 || line[1] == ' ') ? line[0] : '#';
            const std::string text = expand(line.substr(std::min<size_t>(2, line.size())));
            if (kind == '$') {
                ASSERT_EQ(program.pid, -1) << where << "a shell command after the program started";
                if (reading == &command) end(&command, where);
                command = Session();
                command.directory = program.directory;
                ASSERT_TRUE(session_launch(&command, {"/bin/sh", "-c", text}));
                command.directory.clear();  // the program's to remove
                close(command.to_child);
                command.to_child = -1;
                reading = &command;
            } else if (kind == '>') {
                if (reading == &command) end(&command, where);
                if (program.pid == -1) {
                    std::vector<std::string> words = engine_command();
                    std::istringstream arguments(args);
                    for (std::string word; arguments >> word;) words.push_back(word);
                    ASSERT_TRUE(session_launch(&program, words)) << where;
                }
                reading = &program;
                session_send(&program, text);
            } else if (kind == '<' || kind == '~') {
                ASSERT_NE(reading, nullptr) << where << "nothing runs yet";
                std::string got;
                bool met = false;
                while (!met && session_line(reading, &got)) {
                    met = kind == '<' ? trimmed(got) == trimmed(text) : std::regex_match(trimmed(got), std::regex(text));
                    if (!met && !is_progress(got)) break;
                }
                ASSERT_TRUE(met) << where << "expected " << line << "\nlast lines seen:\n"
                                 << last_lines(*reading);
            }
        }
        if (reading != nullptr) end(reading, path + ": at the end: ");
    }
};

#ifdef TOLVANE_TEST_FOLDER
// The folder name's words, or the file name's, in camel case: "book_session" is BookSession.
std::string camel(const std::string& words) {
    std::string name;
    for (size_t i = 0; i < words.size(); i++)
        if (words[i] != '_') name += i == 0 || words[i - 1] == '_' ? toupper(words[i]) : words[i];
    return name;
}

const bool registered = [] {
    const std::filesystem::path root = (std::filesystem::path(TOLVANE_TEST_DATA) / ".." / TOLVANE_TEST_FOLDER / "sessions").lexically_normal();
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(root))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        const std::string suite = camel(file.parent_path().filename().string());
        testing::RegisterTest(suite.c_str(), camel(file.stem().string()).c_str(), nullptr, nullptr, file.c_str(), 1,
                              [file]() -> testing::Test* { return new Transcript(file.string()); });
    }
    return true;
}();
#endif

}  // namespace
