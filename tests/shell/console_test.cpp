// The console and the settings file: banner, defaults, echo lines, options, help, quit, perft.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "search/search.h"
#include "support/session.h"
#include "shell/shell.h"

namespace {

const char* const DEFAULT_LIST =
    "Ini file tolvane.ini no found.\n"
    "Ownbook: on\n"
    "Table hash size: 32 Mb.\n"
    "Eval cache size: 4 Mb.\n"
    "Bitbases path: ./egbb/\n"
    "Bitbases men: 5\n"
    "Bitbases cache size: 32\n"
    "Bitbases load type: 0\n"
    "Chess960 (FRC) - Castling: OO\n";

// Runs read_config (and the options) in-process inside a temporary directory.
struct ConfigRun {
    std::string output;
};

ConfigRun read_config_from(const std::string& ini, std::vector<std::string> args = {}) {
    char pattern[] = "/tmp/tolvane_config_XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(pattern);
    if (!ini.empty()) std::ofstream("tolvane.ini") << ini;
    // Start from the built-in defaults, as a fresh process would.
    snprintf(ownbook, SETTING_TEXT_SIZE, "on");
    snprintf(mainbook, SETTING_TEXT_SIZE, "%s", "");
    snprintf(path, SETTING_TEXT_SIZE, "./egbb/");
    snprintf(castling, SETTING_TEXT_SIZE, "OO");
    men = 5;
    cache_size = 32;
    load_type = 0;
    testing::internal::CaptureStdout();
    read_config();
    std::vector<char*> argv = {const_cast<char*>("tolvane")};
    for (std::string& a : args) argv.push_back(a.data());
    apply_options(static_cast<int>(argv.size()), argv.data());
    fflush(stdout);
    ConfigRun run{testing::internal::GetCapturedStdout()};
    std::filesystem::current_path(old);
    std::filesystem::remove_all(pattern);
    return run;
}

TEST(Settings, MissingFileListsTheDefaults) {
    ConfigRun run = read_config_from("");
    EXPECT_EQ(run.output, DEFAULT_LIST);
    EXPECT_EQ(hash_entries, 838860u);
    EXPECT_EQ(ecache_entries, 262144u);
    EXPECT_EQ(book_enabled, 1);
}

TEST(Settings, FoundFileEchoesEveryKeyItTakes) {
    ConfigRun run = read_config_from(
        "# hash 128\n"
        "hash 64\n"
        "ownbook off\n"
        "mainbook main.bin\n"
        "tourbook tour.bin\n"
        "ecache 8 trailing words ignored\n"
        "path /opt/egbb/\n"
        "men 4\n"
        "cache_size 16\n"
        "load_type 1\n"
        "castling HAha\n"
        "Hash 7\n"
        "unknown 5\n");
    EXPECT_EQ(run.output,
              "Ini file tolvane.ini found.\n"
              "Table hash size 64 Mb.\n"
              "ownbook off\n"
              "mainbook: main.bin\n"
              "tourbook: tour.bin\n"
              "Eval cache size 8 Mb.\n"
              "Bitbases path: /opt/egbb/\n"
              "Bitbases men: 4\n"
              "Bitbases cache size: 16\n"
              "Bitbases load type: 1\n"
              "Chess960 (FRC)- Castling HAha\n");
    EXPECT_EQ(hash_entries, 1677721u);
    EXPECT_EQ(ecache_entries, 524288u);
    EXPECT_STREQ(ownbook, "off");
    EXPECT_STREQ(mainbook, "main.bin");
    EXPECT_STREQ(path, "/opt/egbb/");
    EXPECT_EQ(men, 4);
    EXPECT_EQ(cache_size, 16);
    EXPECT_EQ(load_type, 1);
    EXPECT_STREQ(castling, "HAha");
    EXPECT_EQ(book_enabled, 0);
}

TEST(Settings, OnlyHashLeavesTheCacheAtItsDefaultAndTheLastLineWins) {
    ConfigRun run = read_config_from("hash 16\nhash 64\n");
    EXPECT_EQ(hash_entries, 1677721u);
    EXPECT_EQ(ecache_entries, 262144u);
    EXPECT_NE(run.output.find("Table hash size 16 Mb.\nTable hash size 64 Mb.\n"), std::string::npos);
}

TEST(Settings, BadLinesKeepTheSettingAndReadNothingOutOfBounds) {
    std::string long_value(5000, 'x');
    ConfigRun run = read_config_from(
        "hash\n"
        "men\n"
        "ecache 0\n"
        "hash 4096\n"
        "hash -5\n"
        "cache_size lots\n"
        "ownbook " + long_value + "\n"
        "   men 3\n"
        "path " + std::string(300, 'p') + "/\n"
        "hash 99999999999999999999\n");
    EXPECT_EQ(hash_entries, 838860u);
    EXPECT_EQ(ecache_entries, 262144u);
    EXPECT_EQ(cache_size, 32);
    EXPECT_EQ(men, 3);  // leading blanks: the key is still recognised
    // Lines are cut at their room: the values keep what fits.
    EXPECT_EQ(std::string(ownbook), std::string(INPUT_LINE_SIZE - 1 - 8, 'x'));
    EXPECT_EQ(std::string(path), std::string(INPUT_LINE_SIZE - 1 - 5, 'p'));
    EXPECT_NE(run.output.find("Setting hash has no value: line ignored.\n"), std::string::npos);
    EXPECT_NE(run.output.find("Setting cache_size needs a number: line ignored.\n"), std::string::npos);
    EXPECT_NE(run.output.find("out of range"), std::string::npos);
}

TEST(Settings, LongLineTailIsNotReadAsALine) {
    // The tail after the cut would read "hash 64" if it were taken as a line of its own.
    std::string line = "mainbook " + std::string(246, 'm') + "hash 64\n";
    read_config_from(line);
    EXPECT_EQ(hash_entries, 838860u);
}

TEST(Settings, CommandLineOverridesTheFile) {
    read_config_from("hash 8\nownbook off\n", {"hash", "64", "ownbook", "on"});
    EXPECT_EQ(hash_entries, 1677721u);
    EXPECT_EQ(book_enabled, 1);

    read_config_from("ownbook on\n", {"ownbook", "off"});
    EXPECT_EQ(book_enabled, 0);
    read_config_from("ownbook off\n", {"hash", "16"});
    EXPECT_EQ(book_enabled, 0);
    read_config_from("", {"ownbook", "On"});
    EXPECT_EQ(book_enabled, 0);  // only exactly "on" enables the book

    ConfigRun run = read_config_from("hash 64\n", {"hash", "0"});
    EXPECT_EQ(hash_entries, 1677721u);  // refused: the file's size stays
    EXPECT_NE(run.output.find("Option hash 0 is out of range"), std::string::npos);
    read_config_from("", {"hash"});  // no value follows: ignored
    EXPECT_EQ(hash_entries, 838860u);
}

TEST(TextHelpers, WordsAndNumbersStayInBounds) {
    char word[4];
    const char* rest = read_word("  abcdef  gh", word, sizeof word);
    EXPECT_STREQ(word, "abc");
    read_word(rest, word, sizeof word);
    EXPECT_STREQ(word, "gh");
    read_word("   ", word, sizeof word);
    EXPECT_STREQ(word, "");
    int n = 0;
    EXPECT_TRUE(read_int("-12x", &n));
    EXPECT_EQ(n, -12);
    EXPECT_TRUE(read_int("123456789012345", &n));
    EXPECT_EQ(n, INT_MAX);
    EXPECT_FALSE(read_int("x1", &n));
    EXPECT_FALSE(read_int("", &n));
}

// --- The real program on the console ---------------------------------------------------------

TEST(Console, BannerDefaultsHelpAndQuit) {
    SessionResult r = run_session({"help", "Quit", "", "   ", "hello world", "quit", "help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("Tolvane v.4.88 is a chess engine with xboard protocol.\n", 0), 0u);
    EXPECT_NE(r.output.find("25/01/2012"), std::string::npos);
    EXPECT_NE(r.output.find("\n\n\"help\" displays a list of commands.\n\n"), std::string::npos);
    EXPECT_NE(r.output.find(DEFAULT_LIST), std::string::npos);
    EXPECT_NE(r.output.find("tolvane> \n"
                            "perft number - Total nodes account for a given depth from the position Start\n"
                            "test - Test 25 positions 20 s, used to build a profile guided optimization\n"
                            "bench - Run the built-in benchmark\n"
                            "quit - Exit the program\n"
                            "xboard - Switch to XBoard mode\n"
                            "\n"
                            "tolvane> "),
              std::string::npos);
    // help, Quit, empty, blanks, hello: five prompts after the first; quit ends before "help".
    EXPECT_EQ(count_of(r.output, "tolvane> "), 6);
    EXPECT_EQ(count_of(r.output, "xboard - Switch"), 1);
}

TEST(Console, EndOfInputEndsWithStatusZero) {
    SessionResult r = run_session({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count_of(r.output, "tolvane> "), 1);
}

TEST(Console, LongLinesAndWordsDoNotCrash) {
    std::string huge(100000, 'q');
    SessionResult r = run_session({huge, "perft" + std::string(3000, '9'), "quit" + huge, "quit"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count_of(r.output, "tolvane> "), 4);
}

TEST(Console, FileAndOptionsThroughTheProgram) {
    SessionResult r = run_session({"quit"}, "hash 64\n# hash 128\n", {"ownbook", "off"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("Ini file tolvane.ini found.\nTable hash size 64 Mb.\n"), std::string::npos);
    EXPECT_EQ(r.output.find("128"), std::string::npos);
}

TEST(Console, PerftCountsFromTheStartPosition) {
    SessionResult r = run_session({"perft 4", "perft", "quit"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("197281"), std::string::npos);
}

}  // namespace
