// Shared helpers for the book tests: temporary folders, hand-made records, installed buffers.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "book/book.h"

namespace book_test {

constexpr uint32_t SEED = 12345;
constexpr const char* START_TEXT = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w ";

// A fresh folder under the system's temporary folder, removed with the object.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::random_device device;
        path = std::filesystem::temp_directory_path() /
               ("tolvane-book-" + std::to_string(device()) + std::to_string(device()));
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const char* name) const { return (path / name).string(); }
};

// Runs in `dir` for its lifetime, since the loader reads the random files from there.
struct InDir {
    std::filesystem::path previous;
    explicit InDir(const std::filesystem::path& dir) : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InDir() { std::filesystem::current_path(previous); }
};

inline void write_file(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::string read_text(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Book square of a square text: a1 = 0 .. h8 = 63.
inline int book_square(const char* text) { return (text[0] - 'a') + 8 * (text[1] - '1'); }

// One record from a move text like "e2e4", with mark bits for the from and to bytes.
inline void add_record(std::vector<unsigned char>* book, const char* move, int from_marks,
                       int to_marks) {
    book->push_back((unsigned char)(book_square(move) | from_marks));
    book->push_back((unsigned char)(book_square(move + 2) | to_marks));
}

// Each line written as its own branch from the start; every move playable.
inline std::vector<unsigned char> book_of_lines(const std::vector<std::vector<const char*>>& lines) {
    std::vector<unsigned char> book;
    for (size_t i = 0; i < lines.size(); i++) {
        const auto& line = lines[i];
        for (size_t j = 0; j < line.size(); j++) {
            // Every move is the only one at its place, so each line ends back at ply 0.
            int from_marks = BOOK_LAST_ALTERNATIVE;
            if (j + 1 == line.size()) from_marks |= BOOK_END_OF_LINE;
            add_record(&book, line[j], from_marks, BOOK_PLAYABLE);
        }
    }
    book.push_back(0xFF);
    book.push_back(0xFF);
    return book;
}

// The example book: lines 1. e4 e5, 1. e4 c5 and 1. d4.
inline std::vector<unsigned char> example_book() {
    return {12, 92, 180, 100, 242, 98, 203, 91, 255, 255};
}

// Installs bytes as a loaded book exactly as given (no marker added); free_book releases them.
inline void install(unsigned char** buffer, size_t* size, const std::vector<unsigned char>& bytes) {
    std::free(*buffer);
    *buffer = static_cast<unsigned char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty()) std::memcpy(*buffer, bytes.data(), bytes.size());
    *size = bytes.size();
}

inline void install_main(const std::vector<unsigned char>& bytes) {
    install(&main_book, &main_book_size, bytes);
}
inline void install_tour(const std::vector<unsigned char>& bytes) {
    install(&tour_book, &tour_book_size, bytes);
}

inline void install_tables() { make_random_tables(SEED, book_random1, book_random2); }

// The candidates of a probe as move texts, in the order found.
inline std::vector<std::string> candidates(const BookProbe& probe) {
    std::vector<std::string> moves;
    for (int i = 0; i < probe.count; i++)
        moves.push_back(std::string{probe.from_file[i], probe.from_rank[i], probe.to_file[i],
                                    probe.to_rank[i]});
    return moves;
}

inline std::string chosen(const BookProbe& probe) {
    return std::string(probe.from_text) + probe.to_text;
}

}  // namespace book_test
