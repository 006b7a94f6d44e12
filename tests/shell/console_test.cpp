// The console and the settings file: banner, defaults, echo lines, bad lines, options, help, quit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "egbb/egbb.h"
#include "search/search.h"
#include "shell/shell.h"
#include "support/session.h"

namespace {

// Runs read_config and apply_options in-process inside a temporary directory, from the
// built-in defaults as a fresh process would; returns what they printed.
std::string read_config_from(const std::string& ini, std::vector<std::string> args = {}) {
    char pattern[] = "/tmp/tolvane_config_XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(pattern);
    if (!ini.empty()) std::ofstream("tolvane.ini") << ini;
    snprintf(ownbook, SETTING_TEXT_SIZE, "on");
    snprintf(mainbook, SETTING_TEXT_SIZE, "%s", "");
    snprintf(egbb_path, EGBB_PATH_SIZE, "./egbb/");
    snprintf(castling, SETTING_TEXT_SIZE, "OO");
    egbb_men = 5, egbb_cache_size = 32, egbb_load_type = 0;
    testing::internal::CaptureStdout();
    read_config();
    std::vector<char*> argv = {const_cast<char*>("tolvane")};
    for (std::string& a : args) argv.push_back(a.data());
    apply_options(static_cast<int>(argv.size()), argv.data());
    fflush(stdout);
    std::string output = testing::internal::GetCapturedStdout();
    std::filesystem::current_path(old);
    std::filesystem::remove_all(pattern);
    return output;
}

TEST(Settings, DefaultsAndTheEchoOfEveryKey) {
    EXPECT_EQ(read_config_from(""),
              "Ini file tolvane.ini no found.\nOwnbook: on\nTable hash size: 32 Mb.\n"
              "Eval cache size: 4 Mb.\nSearch threads: 1\nBitbases path: ./egbb/\nBitbases men: 5\n"
              "Bitbases cache size: 32\nBitbases load type: 0\nChess960 (FRC) - Castling: OO\n");
    EXPECT_EQ(hash_entries, 838860u);
    EXPECT_EQ(ecache_entries, 262144u);
    EXPECT_EQ(book_enabled, 1);
    EXPECT_EQ(read_config_from("# hash 128\nhash 16\nhash 64\nownbook off\nmainbook main.bin\n"
                               "tourbook tour.bin\necache 8 trailing words ignored\n"
                               "path /opt/egbb/\nmen 4\ncache_size 16\nload_type 1\n"
                               "castling HAha\nHash 7\nunknown 5\n"),
              "Ini file tolvane.ini found.\nTable hash size 16 Mb.\nTable hash size 64 Mb.\n"
              "ownbook off\nmainbook: main.bin\ntourbook: tour.bin\nEval cache size 8 Mb.\n"
              "Bitbases path: /opt/egbb/\nBitbases men: 4\nBitbases cache size: 16\n"
              "Bitbases load type: 1\nChess960 (FRC)- Castling HAha\n");
    EXPECT_EQ(hash_entries, 1677721u);  // the last hash line wins
    EXPECT_EQ(ecache_entries, 524288u);
    EXPECT_EQ(std::string(mainbook) + egbb_path + castling, "main.bin/opt/egbb/HAha");
    EXPECT_EQ(std::vector<int>({egbb_men, egbb_cache_size, egbb_load_type}), std::vector<int>({4, 16, 1}));
    EXPECT_EQ(book_enabled, 0);
    read_config_from("hash 16\n");  // hash alone leaves the eval cache at its default
    EXPECT_EQ(ecache_entries, 262144u);
}

TEST(Settings, BadLinesKeepTheSettingAndReadNothingOutOfBounds) {
    std::string out = read_config_from(
        "hash\nmen\necache 0\nhash " + std::to_string(MAX_HASH_MB + 1) + "\nhash -5\ncache_size lots\nownbook " +
        std::string(5000, 'x') + "\n   men 3\npath " + std::string(300, 'p') +
        "/\nhash 99999999999999999999\n");
    EXPECT_EQ(hash_entries, 838860u);
    EXPECT_EQ(ecache_entries, 262144u);
    EXPECT_EQ(egbb_cache_size, 32);
    EXPECT_EQ(egbb_men, 3);  // leading blanks: the key is still recognised
    // Lines are cut at their room: the values keep what fits.
    EXPECT_EQ(std::string(ownbook), std::string(INPUT_LINE_SIZE - 1 - 8, 'x'));
    EXPECT_EQ(std::string(egbb_path), std::string(INPUT_LINE_SIZE - 1 - 5, 'p'));
    EXPECT_NE(out.find("Setting hash has no value: line ignored.\n"), std::string::npos);
    EXPECT_NE(out.find("Setting cache_size needs a number: line ignored.\n"), std::string::npos);
    EXPECT_NE(out.find("out of range"), std::string::npos);
    // A mended fault: the tail after the cut would read "hash 64" if taken as a line of its own.
    read_config_from("mainbook " + std::string(246, 'm') + "hash 64\n");
    EXPECT_EQ(hash_entries, 838860u);
}

TEST(Settings, CommandLineOverridesTheFile) {
    const struct {
        const char* ini;
        std::vector<std::string> args;
        unsigned hash_entries;
        int book_enabled;
    } cases[] = {
        {"hash 8\nownbook off\n", {"hash", "64", "ownbook", "on"}, 1677721u, 1},
        {"ownbook on\n", {"ownbook", "off"}, 838860u, 0},
        {"ownbook off\n", {"hash", "16"}, 419430u, 0},
        {"", {"ownbook", "On"}, 838860u, 0},  // only exactly "on" enables the book
        {"hash 64\n", {"hash", "0"}, 1677721u, 1},  // refused: the file's size stays
        {"", {"hash"}, 838860u, 1},                 // no value follows: ignored
    };
    for (const auto& c : cases) {
        read_config_from(c.ini, c.args);
        EXPECT_EQ(hash_entries, c.hash_entries) << c.ini;
        EXPECT_EQ(book_enabled, c.book_enabled) << c.ini;
    }
    EXPECT_NE(read_config_from("", {"hash", "0"}).find("Option hash 0 is out of range"),
              std::string::npos);
}

// The real program: banner, help, case-sensitive quit, long lines, perft, file and options.
TEST(Console, SessionThroughTheProgram) {
    Session s;
    ASSERT_TRUE(session_start(&s, "hash 64\n# hash 128\n", {"ownbook", "off"}));
    std::string huge(100000, 'q');
    std::vector<std::string> lines = {"help", "Quit", "", "   ", huge,
                                      "perft" + std::string(3000, '9'), "perft 4", "perft",
                                      "quit" + huge, "quit", "help"};
    for (const std::string& line : lines) session_send(&s, line);
    EXPECT_EQ(session_finish(&s), 0);
    const std::string& out = s.transcript;
    EXPECT_EQ(out.rfind("Tolvane v.4.88 is a chess engine with xboard protocol.\n", 0), 0u);
    EXPECT_NE(out.find("25/01/2012"), std::string::npos);
    EXPECT_NE(out.find("\n\n\"help\" displays a list of commands.\n\n"), std::string::npos);
    EXPECT_NE(out.find("Ini file tolvane.ini found.\nTable hash size 64 Mb.\n"),
              std::string::npos);
    EXPECT_NE(out.find(
                  "tolvane> \n"
                  "perft number - Total nodes account for a given depth from the position Start\n"
                  "test - Test 25 positions 20 s, used to build a profile guided optimization\n"
                  "bench [threads] - Run the built-in benchmark\n"
                  "quit - Exit the program\n"
                  "xboard - Switch to XBoard mode\n"
                  "uci - Switch to UCI mode\n"
                  "\n"
                  "tolvane> "),
              std::string::npos);
    EXPECT_NE(out.find("197281"), std::string::npos);
    // One prompt per line read up to "quit"; the "help" after it is never read.
    EXPECT_EQ(count_of(out, "tolvane> "), 10);
    EXPECT_EQ(count_of(out, "xboard - Switch"), 1);
    Session quiet;
    ASSERT_TRUE(session_start(&quiet));
    EXPECT_EQ(session_finish(&quiet), 0);  // end of input ends the program too
}

}  // namespace
