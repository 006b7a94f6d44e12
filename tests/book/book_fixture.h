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

using Bytes = std::vector<unsigned char>;
using Moves = std::vector<std::string>;

constexpr uint32_t SEED = 12345;
constexpr const char* START_TEXT = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w ";

// A fresh folder under the system's temporary folder, removed with the object.
struct TempDir {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("tolvane-book-" + std::to_string(std::random_device()()) + std::to_string(std::rand()));
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() { std::error_code ignored; std::filesystem::remove_all(path, ignored); }
    std::string file(const char* name) const { return (path / name).string(); }
};

template <class Text>  // std::string or Bytes
void write_file(const std::string& name, const Text& bytes) {
    std::ofstream(name, std::ios::binary).write((const char*)bytes.data(), std::streamsize(bytes.size()));
}

// One record from a move text like "e2e4", with mark bits for the from and to bytes (a1 = 0).
inline void add_record(Bytes* book, const char* move, int from_marks, int to_marks) {
    book->push_back((unsigned char)(((move[0] - 'a') + 8 * (move[1] - '1')) | from_marks));
    book->push_back((unsigned char)(((move[2] - 'a') + 8 * (move[3] - '1')) | to_marks));
}

// Each line written as its own branch from the start, every move playable, then the end marker.
inline Bytes book_of_lines(const std::vector<std::vector<const char*>>& lines) {
    Bytes book;
    for (const auto& line : lines)
        for (size_t j = 0; j < line.size(); j++)
            add_record(&book, line[j], BOOK_LAST_ALTERNATIVE | (j + 1 == line.size() ? BOOK_END_OF_LINE : 0),
                       BOOK_PLAYABLE);
    book.insert(book.end(), {0xFF, 0xFF});
    return book;
}

// The example book: lines 1. e4 e5, 1. e4 c5 and 1. d4.
inline Bytes example_book() { return {12, 92, 180, 100, 242, 98, 203, 91, 255, 255}; }

// Installs bytes as a loaded book exactly as given (no marker added); free_book releases them.
inline void install(unsigned char** buffer, size_t* size, const Bytes& bytes) {
    std::free(*buffer);
    *buffer = static_cast<unsigned char*>(std::malloc(bytes.size() + 1));
    std::memcpy(*buffer, bytes.data(), bytes.size());
    *size = bytes.size();
}

// The candidates of a probe as move texts, in the order found.
inline Moves candidates(const BookProbe& probe) {
    Moves moves;
    for (int i = 0; i < probe.count; i++)
        moves.push_back({probe.from_file[i], probe.from_rank[i], probe.to_file[i], probe.to_rank[i]});
    return moves;
}

}  // namespace book_test
