// Loading the Rebel book: the two random tables and the main and tournament book buffers.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "book/book.h"

int book_loaded;
uint32_t book_random1[BOOK_RANDOM_SIZE];
uint32_t book_random2[BOOK_RANDOM_SIZE];
unsigned char* main_book;
size_t main_book_size;
unsigned char* tour_book;
size_t tour_book_size;

// Four little-endian bytes into one entry; a short read leaves the entry as it was.
static void read_entry(FILE* file, uint32_t* entry) {
    unsigned char bytes[4];
    if (std::fread(bytes, 1, 4, file) != 4) return;
    *entry = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
             uint32_t(bytes[3]) << 24;
}

bool load_random_tables() {
    FILE* file1 = std::fopen("random1.bin", "rb");
    FILE* file2 = std::fopen("random2.bin", "rb");
    if (!file1 || !file2) {
        if (file1) std::fclose(file1);
        if (file2) std::fclose(file2);
        return false;
    }
    // Entries a short file does not reach stay 0, also after an earlier load.
    for (int i = 0; i < BOOK_RANDOM_SIZE; i++) {
        book_random1[i] = 0;
        book_random2[i] = 0;
    }
    for (int i = 0; i < BOOK_RANDOM_SIZE; i++) {
        read_entry(file1, &book_random1[i]);
        read_entry(file2, &book_random2[i]);
    }
    std::fclose(file1);
    std::fclose(file2);
    return true;
}

// Far beyond any real book; a folder or device "measures" absurd sizes, which are refused
// rather than handed to the allocator.
static const long max_book_bytes = 1L << 30;

// The size by seeking to the end; -1 when the file cannot be measured or is absurdly large.
static long file_size(FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size > max_book_bytes ? -1 : size;
}

// What reading a whole book file gave.
enum FileRead { FILE_MISSING, FILE_EMPTY, FILE_NO_MEMORY, FILE_READ };

// The file's bytes in a zeroed buffer with two spare bytes. *n gets the bytes really read: a file
// that shrank meanwhile gives fewer, and nothing beyond the allocation is ever written.
static FileRead read_book_file(const char* file_name, unsigned char** bytes, size_t* n) {
    FILE* file = std::fopen(file_name, "rb");
    if (!file) return FILE_MISSING;
    const long size = file_size(file);
    if (size <= 0) {
        std::fclose(file);
        return FILE_EMPTY;
    }
    *bytes = static_cast<unsigned char*>(std::calloc(size_t(size) + 2, 1));
    if (*bytes) *n = std::fread(*bytes, 1, size_t(size), file);
    else std::perror("memory failure");
    std::fclose(file);
    return *bytes ? FILE_READ : FILE_NO_MEMORY;
}

// BOOK_OK, BOOK_NO_MAINBOOK or BOOK_ERROR.
static int load_main_book(const char* file_name) {
    size_t n = 0;
    const FileRead got = read_book_file(file_name, &main_book, &n);
    if (got == FILE_MISSING) return BOOK_NO_MAINBOOK;
    if (got != FILE_READ) return BOOK_ERROR;
    if (n == 0) {  // measured but unreadable, such as a folder
        free_book();
        return BOOK_ERROR;
    }
    // The end marker must sit at an even offset: an odd last byte becomes part of it.
    if (n % 2 == 1) main_book[n - 1] = BOOK_END_BYTE;
    main_book[n] = BOOK_END_BYTE;
    main_book[n + 1] = BOOK_END_BYTE;
    main_book_size = n + 2;
    return BOOK_OK;
}

// BOOK_OK, BOOK_NO_TOURBOOK or BOOK_ERROR.
static int load_tour_book(const char* file_name) {
    size_t n = 0;
    const FileRead got = read_book_file(file_name, &tour_book, &n);
    if (got == FILE_MISSING || got == FILE_EMPTY) return BOOK_NO_TOURBOOK;
    if (got != FILE_READ) return BOOK_ERROR;
    // The marker replaces the last record; a file too short to hold one counts as no book.
    if (n < 2) {
        std::free(tour_book);
        tour_book = nullptr;
        return BOOK_NO_TOURBOOK;
    }
    tour_book[n - 2] = BOOK_END_BYTE;
    tour_book[n - 1] = BOOK_END_BYTE;
    tour_book_size = n + 2;
    return BOOK_OK;
}

int load_book(const char* main_file, const char* tour_file) {
    std::srand(unsigned(std::time(nullptr)));
    free_book();  // a second load must not leak the first one's buffers

    if (!load_random_tables()) return BOOK_NO_RANDOM;

    int status = load_main_book(main_file);
    if (status != BOOK_OK) return status;

    status = load_tour_book(tour_file);
    if (status == BOOK_ERROR) free_book();  // not loaded, so nobody would free it later
    return status;
}

void free_book() {
    std::free(tour_book);
    std::free(main_book);
    tour_book = nullptr;
    main_book = nullptr;
    tour_book_size = 0;
    main_book_size = 0;
}
