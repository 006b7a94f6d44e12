// Polyglot books: the file checked and searched on disk by key, the weighted choice, the book step.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "book/book.h"

bool polyglot_best_move = false;
const char* polyglot_message_prefix = "";

namespace {

// Two draws of the library's generator: its range may be as small as 15 bits, and weights reach 16.
uint32_t draw_from_rand() { return uint32_t(std::rand()) << 15 ^ uint32_t(std::rand()); }

constexpr int NAME_SIZE = 256;
constexpr int CHECK_CHUNK = 4096;  // entries read at a time by the check at load

struct PolyglotFile {
    std::FILE* file = nullptr;
    long entries = 0;
    char name[NAME_SIZE] = "";
};

PolyglotFile book;

uint64_t read_big_endian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; i++) value = value << 8 | bytes[i];
    return value;
}

void write_big_endian(uint64_t value, int count, unsigned char* bytes) {
    for (int i = count - 1; i >= 0; i--, value >>= 8) bytes[i] = (unsigned char)(value & 0xFF);
}

// Entry i of the open book; false when it cannot be read whole.
bool read_entry(long i, PolyglotEntry* entry) {
    unsigned char bytes[POLYGLOT_ENTRY_BYTES];
    if (std::fseek(book.file, i * POLYGLOT_ENTRY_BYTES, SEEK_SET) != 0) return false;
    if (std::fread(bytes, 1, sizeof bytes, book.file) != sizeof bytes) return false;
    *entry = decode_polyglot_entry(bytes);
    return true;
}

// Every key not below the one before it; a fault gives its status and entry.
PolyglotOpening check_order(PolyglotOpening opening) {
    static unsigned char chunk[CHECK_CHUNK * POLYGLOT_ENTRY_BYTES];
    uint64_t last = 0;
    if (std::fseek(book.file, 0, SEEK_SET) != 0) {
        opening.status = POLYGLOT_UNREADABLE;
        return opening;
    }
    for (long first = 0; first < opening.entries; first += CHECK_CHUNK) {
        const long wanted = opening.entries - first < CHECK_CHUNK ? opening.entries - first : CHECK_CHUNK;
        const long got = long(std::fread(chunk, POLYGLOT_ENTRY_BYTES, size_t(wanted), book.file));
        for (long i = 0; i < got; i++) {
            const uint64_t key = read_big_endian(chunk + i * POLYGLOT_ENTRY_BYTES, 8);
            if (key < last) {
                opening.status = POLYGLOT_UNSORTED;
                opening.bad_entry = first + i;
                return opening;
            }
            last = key;
        }
        if (got < wanted) {
            opening.status = first + got == 0 ? POLYGLOT_UNREADABLE : POLYGLOT_TRUNCATED;
            opening.bad_entry = first + got;
            return opening;
        }
    }
    return opening;
}

void report_damage(const char* what, long entry) {
    std::printf("%sPolyglot book %s: entry %ld %s: book closed\n", polyglot_message_prefix, book.name, entry, what);
    std::fflush(stdout);
    close_polyglot_book();
}

}  // namespace

uint32_t (*polyglot_draw)() = draw_from_rand;

PolyglotEntry decode_polyglot_entry(const unsigned char* bytes) {
    return PolyglotEntry{read_big_endian(bytes, 8), uint16_t(read_big_endian(bytes + 8, 2)),
                         uint16_t(read_big_endian(bytes + 10, 2)), uint32_t(read_big_endian(bytes + 12, 4))};
}

void encode_polyglot_entry(const PolyglotEntry& entry, unsigned char* bytes) {
    write_big_endian(entry.key, 8, bytes);
    write_big_endian(entry.move, 2, bytes + 8);
    write_big_endian(entry.weight, 2, bytes + 10);
    write_big_endian(entry.learn, 4, bytes + 12);
}

PolyglotOpening open_polyglot_book(const char* file_name) {
    close_polyglot_book();
    PolyglotOpening opening = {POLYGLOT_UNREADABLE, 0, 0, 0};
    book.file = std::fopen(file_name, "rb");
    if (!book.file) return opening;
    std::snprintf(book.name, sizeof book.name, "%s", file_name);
    // Each search reads a few scattered entries: a buffer would only read more than is needed,
    // and could keep serving bytes of a file that has since been replaced.
    std::setvbuf(book.file, nullptr, _IONBF, 0);

    // A folder opens, but reading it fails.
    unsigned char first_byte;
    if (std::fread(&first_byte, 1, 1, book.file) != 1 && std::ferror(book.file)) {
        close_polyglot_book();
        return opening;
    }

    // A size past what fseek can reach (or a device) cannot be measured: unreadable.
    opening.size = std::fseek(book.file, 0, SEEK_END) == 0 ? std::ftell(book.file) : -1;
    if (opening.size < 0) {
        close_polyglot_book();
        return opening;
    }
    opening.entries = opening.size / POLYGLOT_ENTRY_BYTES;
    if (opening.size == 0) opening.status = POLYGLOT_EMPTY;
    else if (opening.size % POLYGLOT_ENTRY_BYTES != 0) opening.status = POLYGLOT_BAD_SIZE;
    else opening.status = POLYGLOT_OK;

    // A book that fits the bound is read once whole; a bigger one is checked along every
    // search's path instead, which is enough to keep a search from going astray.
    if (opening.status == POLYGLOT_OK && opening.size <= POLYGLOT_FULL_CHECK_BYTES) {
        opening = check_order(opening);
    }
    if (opening.status != POLYGLOT_OK) {
        close_polyglot_book();
        return opening;
    }
    book.entries = opening.entries;
    return opening;
}

void close_polyglot_book() {
    if (book.file) std::fclose(book.file);
    book.file = nullptr;
    book.entries = 0;
}

bool polyglot_book_open() { return book.file != nullptr; }

int polyglot_entries(uint64_t key, PolyglotEntry* out, int capacity) {
    if (!book.file) return 0;

    // The first entry whose key is not below key. Every key read must lie between those of
    // the two ends met so far, or the book is not sorted.
    long low = 0, high = book.entries;
    uint64_t low_key = 0, high_key = UINT64_MAX;
    while (low < high) {
        const long middle = low + (high - low) / 2;
        PolyglotEntry entry;
        if (!read_entry(middle, &entry)) {
            report_damage("cannot be read", middle);
            return -1;
        }
        if (entry.key < low_key || entry.key > high_key) {
            report_damage("is out of order", middle);
            return -1;
        }
        if (entry.key < key) {
            low = middle + 1;
            low_key = entry.key;
        } else {
            high = middle;
            high_key = entry.key;
        }
    }

    int count = 0;
    for (long i = low; i < book.entries; i++) {
        PolyglotEntry entry;
        if (!read_entry(i, &entry)) {
            report_damage("cannot be read", i);
            return -1;
        }
        if (entry.key < key) {
            report_damage("is out of order", i);
            return -1;
        }
        if (entry.key != key || count == capacity) break;
        out[count++] = entry;
    }
    return count;
}

bool polyglot_legal_move(Position& p, uint16_t book_move, Move* move) {
    const int to_file = book_move & 7, to_row = (book_move >> 3) & 7;
    const int from_file = (book_move >> 6) & 7, from_row = (book_move >> 9) & 7;
    const int promotion = (book_move >> 12) & 7;
    const int from = (7 - from_row) * 8 + from_file;
    int to = (7 - to_row) * 8 + to_file;

    // Castling is stored as the king taking its own rook; the engine's move names the king's square.
    if (p.piece[from] == KING && p.piece[to] == ROOK && p.color[to] == p.color[from]) {
        if (from == E1 && to == H1) to = G1;
        else if (from == E1 && to == A1) to = C1;
        else if (from == E8 && to == H8) to = G8;
        else if (from == E8 && to == A8) to = C8;
    }
    static const int promotion_type[5] = {0, MOVE_PROMOTE_KNIGHT, MOVE_PROMOTE_BISHOP, MOVE_PROMOTE_ROOK,
                                          MOVE_PROMOTE_QUEEN};  // by the format's promotion code
    if (promotion > 4) return false;

    MoveList list;
    const int count = generate_moves(p, list);
    for (int i = 0; i < count; i++) {
        const Move& m = list[i];
        const bool promotes = m.type >= MOVE_PROMOTE_QUEEN;
        if (m.from != from || m.to != to) continue;
        if (promotes ? m.type != promotion_type[promotion] : promotion != 0) continue;
        if (!is_legal(p, m)) return false;
        *move = m;
        return true;
    }
    return false;
}

int polyglot_choose(const PolyglotEntry* entries, int count, bool best, uint32_t draw) {
    uint32_t total = 0;
    int heaviest = -1;
    for (int i = 0; i < count; i++) {
        total += entries[i].weight;
        if (entries[i].weight > 0 && (heaviest < 0 || entries[i].weight > entries[heaviest].weight)) heaviest = i;
    }
    if (best || heaviest < 0) return heaviest;
    uint32_t r = draw % total;
    for (int i = 0; i < count; i++) {
        if (r < entries[i].weight) return i;
        r -= entries[i].weight;
    }
    return heaviest;  // not reached: the weights add up to total
}

bool polyglot_step(Position& p, Move* move) {
    if (!book.file) return false;
    PolyglotEntry found[POLYGLOT_MAX_ENTRIES];
    const int count = polyglot_entries(polyglot_key(p), found, POLYGLOT_MAX_ENTRIES);

    // Only the legal moves take part in the choice: a wrong entry is passed over, never played.
    PolyglotEntry playable[POLYGLOT_MAX_ENTRIES];
    Move moves[POLYGLOT_MAX_ENTRIES];
    int n = 0;
    for (int i = 0; i < count; i++) {
        if (!polyglot_legal_move(p, found[i].move, &moves[n])) continue;
        playable[n++] = found[i];
    }
    const int chosen = polyglot_choose(playable, n, polyglot_best_move, n > 0 ? polyglot_draw() : 0);
    if (chosen < 0) return false;
    *move = moves[chosen];
    return true;
}

uint16_t polyglot_move_code(Move m) {
    int to = m.to;
    if (m.type == MOVE_CASTLE) to = (m.to & 7) == 6 ? m.to + 1 : m.to - 2;  // onto the rook's square
    int promotion = 0;
    switch (m.type) {
        case MOVE_PROMOTE_KNIGHT: promotion = 1; break;
        case MOVE_PROMOTE_BISHOP: promotion = 2; break;
        case MOVE_PROMOTE_ROOK: promotion = 3; break;
        case MOVE_PROMOTE_QUEEN: promotion = 4; break;
        default: break;
    }
    const int from_row = 7 - (m.from >> 3), to_row = 7 - (to >> 3);
    return uint16_t(promotion << 12 | from_row << 9 | (m.from & 7) << 6 | to_row << 3 | (to & 7));
}
