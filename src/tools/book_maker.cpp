// tolvane-book: writes the random tables, Rebel books from lines of moves or PGN games and Polyglot books
// from PGN games, and shows books.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "board/board.h"
#include "book/book.h"

static const uint32_t default_seed = 20240611;
static const int text_line_size = 8192;
// The tally numbers its moves with an int; a 32-bit program has no more than a few GB to give.
static const int max_memory_mb = sizeof(void*) >= 8 ? 32768 : 2048;

static int usage() {
    std::fputs("usage: tolvane-book random [SEED]        write random1.bin and random2.bin here\n"
               "       tolvane-book make BOOK [LINES]    write BOOK from move lines (file or stdin)\n"
               "       tolvane-book pgn BOOK [FILE...]   write BOOK from PGN games (files or stdin), options:\n"
               "           --plies N   half-moves kept per game (default 24)\n"
               "           --min N     times a move must have been played to be playable (default 2)\n"
               "           --sides S   winner (default: the side that did not lose), both, white, black\n"
               "           --min-elo N only games whose players are both rated N or more\n"
               "           --memory MB memory for counting moves (default 256); past it rare ones are forgotten\n"
               "       tolvane-book polyglot BOOK [FILE...]  write the Polyglot book BOOK from PGN games, the same options\n"
               "       tolvane-book show BOOK            list the lines of BOOK\n"
               "       tolvane-book show BOOK MOVES...   the engine's candidates after MOVES, SAN or coordinates\n"
               "                                         (\"\" for the start)\n",
               stderr);
    return 2;
}

static int make_random(int argc, char** argv) {
    uint32_t seed = default_seed;
    if (argc > 2) {
        char* end = nullptr;
        unsigned long value = std::strtoul(argv[2], &end, 10);
        if (!*argv[2] || *end) {
            std::fprintf(stderr, "tolvane-book: seed must be a number: %s\n", argv[2]);
            return 1;
        }
        seed = uint32_t(value);
    }
    if (!write_random_files("random1.bin", "random2.bin", seed)) {
        std::perror("tolvane-book: cannot write random1.bin and random2.bin");
        return 1;
    }
    std::printf("random1.bin and random2.bin written\n");
    return 0;
}

// One line of moves per text line; "#" starts a comment line. Any bad line refuses the book.
static int make_book(int argc, char** argv) {
    const char* book_name = argv[2];
    FILE* input = stdin;
    const char* input_name = "standard input";
    if (argc > 3) {
        input_name = argv[3];
        input = std::fopen(input_name, "r");
        if (!input) {
            std::fprintf(stderr, "tolvane-book: cannot read %s\n", input_name);
            return 1;
        }
    }
    init_hash_keys();
    book_tree_clear();

    static char text[text_line_size];
    int line_number = 0, lines = 0, errors = 0;
    while (std::fgets(text, sizeof text, input)) {
        line_number++;
        size_t length = std::strlen(text);
        if (length == sizeof text - 1 && text[length - 1] != '\n' && !std::feof(input)) {
            std::fprintf(stderr, "%s:%d: line too long\n", input_name, line_number);
            errors++;
            int c;
            while ((c = std::fgetc(input)) != EOF && c != '\n') {
            }
            continue;
        }
        const char* start = text + std::strspn(text, " \t\r\n");
        if (!*start || *start == '#') continue;
        char message[128];
        if (!book_tree_add_line(start, message, sizeof message)) {
            std::fprintf(stderr, "%s:%d: %s\n", input_name, line_number, message);
            errors++;
            continue;
        }
        lines++;
    }
    if (input != stdin) std::fclose(input);

    if (errors) {
        std::fprintf(stderr, "tolvane-book: %d bad line(s), %s not written\n", errors, book_name);
        return 1;
    }
    if (!write_book_file(book_name)) {
        std::fprintf(stderr, "tolvane-book: cannot write %s\n", book_name);
        return 1;
    }
    std::printf("%s written: %d lines, %d moves\n", book_name, lines, book_tree_records());
    return 0;
}

static const char missing_random_files[] =
    "tolvane-book: random1.bin and random2.bin are needed in the current folder "
    "(tolvane-book random writes them)\n";

// A whole number from min to max, or a message and false.
static bool read_option_number(const char* option, const char* text, int min, int max, int* value) {
    char* end = nullptr;
    long number = text ? std::strtol(text, &end, 10) : 0;
    if (!text || !*text || *end || number < min || number > max) {
        std::fprintf(stderr, "tolvane-book: %s needs a number from %d to %d\n", option, min, max);
        return false;
    }
    *value = int(number);
    return true;
}

static bool ends_with_pgn(const char* name) {
    size_t length = std::strlen(name);
    if (length < 4) return false;
    const char* tail = name + length - 4;
    return tail[0] == '.' && (tail[1] | 0x20) == 'p' && (tail[2] | 0x20) == 'g' && (tail[3] | 0x20) == 'n';
}

// Games from PGN files, tallied in one pass over each file; the book, Rebel or Polyglot, is
// written at the end.
static int make_book_from_games(int argc, char** argv, bool polyglot) {
    const char* book_name = argv[2];
    BookTallyOptions options;
    int memory_mb = int(options.memory >> 20);
    std::vector<const char*> files;
    for (int i = 3; i < argc; i++) {
        const char* word = argv[i];
        if (std::strncmp(word, "--", 2) != 0 || !word[2]) {
            files.push_back(word);
            continue;
        }
        // "--plies 12" and "--plies=12" alike.
        char option[32];
        const char* equals = std::strchr(word, '=');
        std::snprintf(option, sizeof option, "%.*s", int(equals ? equals - word : std::strlen(word)), word);
        const char* value = equals ? equals + 1 : i + 1 < argc ? argv[++i] : nullptr;
        bool ok = true;
        if (std::strcmp(option, "--plies") == 0) {
            // A Polyglot book has no lines, so no limit on their depth.
            ok = read_option_number(option, value, 1, polyglot ? MAX_GAME_PLY : BOOK_LINE_SIZE, &options.plies);
        } else if (std::strcmp(option, "--min") == 0) {
            ok = read_option_number(option, value, 1, 1000000, &options.min_count);
        } else if (std::strcmp(option, "--memory") == 0) {
            ok = read_option_number(option, value, 1, max_memory_mb, &memory_mb);
            options.memory = size_t(memory_mb) << 20;
        } else if (std::strcmp(option, "--min-elo") == 0) {
            ok = read_option_number(option, value, 0, 10000, &options.min_elo);
        } else if (std::strcmp(option, "--sides") == 0) {
            static const char* const sides[] = {"winner", "both", "white", "black"};  // by BookSides
            ok = false;
            for (int k = 0; k < 4 && value; k++)
                if (std::strcmp(value, sides[k]) == 0) options.sides = k, ok = true;
            if (!ok) std::fprintf(stderr, "tolvane-book: --sides is winner, both, white or black\n");
        } else {
            std::fprintf(stderr, "tolvane-book: unknown option %s\n", option);
            return usage();
        }
        if (!ok) return 1;
    }
    if (files.empty()) files.push_back("-");

    // The book is written over BOOK: a collection named there by mistake must not be lost.
    bool clash = ends_with_pgn(book_name);
    for (const char* file : files) clash = clash || std::strcmp(file, book_name) == 0;
    if (clash) {
        std::fprintf(stderr, "tolvane-book: %s would be overwritten: the book's name comes first "
                             "(tolvane-book %s BOOK FILE...)\n", book_name, argv[1]);
        return 1;
    }
    for (const char* file : files) {
        FILE* input = std::strcmp(file, "-") == 0 ? stdin : std::fopen(file, "rb");
        if (!input) {
            std::fprintf(stderr, "tolvane-book: cannot read %s\n", file);
            return 1;
        }
        if (input != stdin) std::fclose(input);
    }
    // The engine reads a book through the random tables beside it: a book made where they are
    // missing would be of no use there, so that is said before any work is done.
    if (!polyglot && !load_random_tables()) {
        std::fputs(missing_random_files, stderr);
        return 1;
    }

    init_hash_keys();
    book_tally_clear();
    polyglot_tally_clear();
    BookTallyCounts counts;
    for (const char* file : files) {
        bool from_stdin = std::strcmp(file, "-") == 0;
        FILE* input = from_stdin ? stdin : std::fopen(file, "rb");
        const char* name = from_stdin ? "standard input" : file;
        bool failed = !input;
        if (input) {
            auto reader = std::make_unique<PgnReader>(input, name);
            if (polyglot) polyglot_tally_games(reader.get(), options, &counts);
            else book_tally_games(reader.get(), options, &counts);
            failed = reader->read_failed();
            if (!from_stdin) std::fclose(input);
        }
        if (failed) {
            std::fprintf(stderr, "tolvane-book: cannot read %s, %s not written\n", name, book_name);
            return 1;
        }
    }
    PolyglotWriteCounts written;
    int positions = 0;
    if (polyglot ? !write_polyglot_book(book_name, options.min_count, &written)
                 : (positions = book_tally_to_tree(options.min_count), !write_book_file(book_name))) {
        std::fprintf(stderr, "tolvane-book: cannot write %s\n", book_name);
        return 1;
    }
    if (counts.forget_passes > 0)
        std::fprintf(stderr, "tolvane-book: --memory %d filled %d time(s): moves played at most %u time(s) at those "
                             "points may be missing\n", memory_mb, counts.forget_passes, counts.forgotten_at_most);
    if (polyglot) {
        if (written.entries == 0) std::fprintf(stderr, "tolvane-book: no move reached --min %d: the book is empty\n", options.min_count);
        std::printf("%s written: %ld games read, %ld used, %ld skipped, %ld positions, %ld entries\n", book_name,
                    counts.games, counts.used, counts.skipped, written.positions, written.entries);
        return 0;
    }
    if (positions == 0) std::fprintf(stderr, "tolvane-book: no move reached --min %d: the book is empty\n", options.min_count);
    std::printf("%s written: %ld games read, %ld used, %ld skipped, %d positions, %d moves\n", book_name,
                counts.games, counts.used, counts.skipped, positions, book_tree_records());
    return 0;
}

static int show_book(const char* book_name) {
    FILE* file = std::fopen(book_name, "rb");
    if (!file) {
        std::fprintf(stderr, "tolvane-book: cannot read %s\n", book_name);
        return 1;
    }
    std::vector<unsigned char> bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back((unsigned char)c);
    std::fclose(file);
    if (!print_book_lines(bytes.data(), bytes.size())) {
        std::fprintf(stderr, "tolvane-book: %s is damaged or has no end marker\n", book_name);
        return 1;
    }
    return 0;
}

// The candidates the engine would find after the moves, in its order, with their weights and
// how many of the 64 values of its draw pick each one.
static int show_candidates(const char* book_name, int count, char** moves) {
    int status = load_book(book_name, "");
    if (status == BOOK_NO_RANDOM) {
        std::fputs(missing_random_files, stderr);
        return 1;
    }
    if (status != BOOK_OK && status != BOOK_NO_TOURBOOK) {
        std::fprintf(stderr, "tolvane-book: cannot read %s\n", book_name);
        return 1;
    }
    init_hash_keys();
    set_book_start_position();
    // Moves as separate arguments or as one quoted line.
    for (int i = 0; i < count; i++) {
        for (const char* c = moves[i]; *c;) {
            c += std::strspn(c, " \t");
            size_t length = std::strcspn(c, " \t");
            if (length == 0) break;
            char word[PGN_WORD_SIZE];
            std::snprintf(word, sizeof word, "%.*s", int(length), c);
            c += length;
            Move move;
            if (play_san_move(word, &move) != SAN_OK) {
                std::fprintf(stderr, "tolvane-book: not a legal move here: %s\n", word);
                free_book();
                return 1;
            }
        }
    }
    char text[BOOK_TEXT_SIZE];
    book_position_text(text);
    BookProbe probe;
    probe_book_with_draw(text, 0, &probe);
    if (probe.count == 0) std::printf("no book move\n");
    for (int i = 0; i < probe.count; i++) {
        int share = 0;
        for (int r = 0; r < 64; r++) share += book_choose(probe.count, r) == i;
        std::printf("%c%c%c%c  weight %d  share %d/64\n", probe.from_file[i], probe.from_rank[i], probe.to_file[i],
                    probe.to_rank[i], i < BOOK_WEIGHTS ? book_weight[i] : 0, share);
    }
    free_book();
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "random") == 0 && argc <= 3) return make_random(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "make") == 0 && argc <= 4) return make_book(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "pgn") == 0) return make_book_from_games(argc, argv, false);
    if (argc >= 3 && std::strcmp(argv[1], "polyglot") == 0) return make_book_from_games(argc, argv, true);
    if (argc == 3 && std::strcmp(argv[1], "show") == 0) return show_book(argv[2]);
    if (argc > 3 && std::strcmp(argv[1], "show") == 0) return show_candidates(argv[2], argc - 3, argv + 3);
    return usage();
}
