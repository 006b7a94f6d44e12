// tolvane-book: writes the random tables and Rebel books from lines of moves, and lists books.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "board/board.h"
#include "book/book.h"

static const uint32_t default_seed = 20240611;
static const int text_line_size = 8192;

static int usage() {
    std::fputs("usage: tolvane-book random [SEED]       write random1.bin and random2.bin here\n"
               "       tolvane-book make BOOK [LINES]   write BOOK from move lines (file or stdin)\n"
               "       tolvane-book show BOOK           list the lines of BOOK\n",
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

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "random") == 0 && argc <= 3) return make_random(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "make") == 0 && argc <= 4) return make_book(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "show") == 0) return show_book(argv[2]);
    return usage();
}
