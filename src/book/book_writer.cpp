// Writing Rebel books: random tables that give the fixed start key, and books from move lines.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "book/book.h"


// splitmix32-style mixing: any seed gives well spread, reproducible tables.
static uint32_t next_random(uint32_t* state) {
    uint32_t z = (*state += 0x9E3779B9u);
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z = (z ^ (z >> 13)) * 0xC2B2AE35u;
    return z ^ (z >> 16);
}

void make_random_tables(uint32_t seed, uint32_t* table1, uint32_t* table2) {
    uint32_t state = seed;
    for (int i = 0; i < BOOK_RANDOM_SIZE; i++) {
        table1[i] = next_random(&state);
        table2[i] = next_random(&state);
    }
    // The format fixes the start array's key instead of computing it, so one entry that the
    // start array uses (the white king on e1) is bent until the XOR comes out exactly right.
    uint32_t key_a = 0, key_b = 0;
    for (int cell = 1; cell <= 78; cell++) {
        int piece = book_start_board[cell];
        if (piece < BOOK_WHITE_PAWN) continue;
        key_a ^= table1[piece * 80 + cell];
        key_b ^= table2[piece * 80 + cell];
    }
    int king = BOOK_WHITE_KING * 80 + book_cell_of_book_square(4);
    table1[king] ^= key_a ^ BOOK_START_KEY_A;
    table2[king] ^= key_b ^ BOOK_START_KEY_B;
}

static bool write_bytes(const char* name, const unsigned char* bytes, size_t size) {
    FILE* file = std::fopen(name, "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

static bool write_table(const char* name, const uint32_t* table) {
    unsigned char bytes[BOOK_RANDOM_SIZE * 4];
    for (int i = 0; i < BOOK_RANDOM_SIZE; i++)
        for (int k = 0; k < 4; k++) bytes[i * 4 + k] = (unsigned char)(table[i] >> (8 * k));
    return write_bytes(name, bytes, sizeof bytes);
}

bool write_random_files(const char* name1, const char* name2, uint32_t seed) {
    uint32_t table1[BOOK_RANDOM_SIZE], table2[BOOK_RANDOM_SIZE];
    make_random_tables(seed, table1, table2);
    return write_table(name1, table1) && write_table(name2, table2);
}

// --- The tree of lines -----------------------------------------------------------------------

// One half-move of the tree; node 0 is the start position itself.
struct BookTreeNode {
    int from;  // book squares, a1 = 0 .. h8 = 63
    int to;
    bool playable;
    int first_child;
    int last_child;
    int next_sibling;
};

static std::vector<BookTreeNode> tree;
static uint64_t start_hash_key;  // to notice when someone else moved the board meanwhile

void set_book_start_position() {
    set_variant("normal");
    setup_position(game, START_POSITION);
    start_hash_key = game.hash_key;
}

void book_tree_clear() {
    tree.assign(1, BookTreeNode{0, 0, false, -1, -1, -1});
    set_book_start_position();
}

int book_tree_records() { return int(tree.size()) - 1; }

// The child of `parent` for this move, appended when new.
static int tree_child(int parent, int from, int to) {
    for (int c = tree[parent].first_child; c >= 0; c = tree[c].next_sibling)
        if (tree[c].from == from && tree[c].to == to) return c;
    tree.push_back(BookTreeNode{from, to, false, -1, -1, -1});
    int child = int(tree.size()) - 1;
    if (tree[parent].last_child >= 0)
        tree[tree[parent].last_child].next_sibling = child;
    else
        tree[parent].first_child = child;
    tree[parent].last_child = child;
    return child;
}

int book_tree_child(int parent, int from, int to, bool playable) {
    if (tree.empty()) book_tree_clear();
    int child = tree_child(parent, from, to);
    if (playable) tree[child].playable = true;
    return child;
}

// Checks one line on the engine's own board, then adds it to the tree. A word is a move in
// coordinates ("e2e4"); a trailing "?" keeps the move in the book without letting the engine
// play it. A move that any line lists without "?" is playable.
bool book_tree_add_line(const char* text, char* message, size_t message_size) {
    if (tree.empty()) book_tree_clear();
    if (game.game_ply != 0 || game.hash_key != start_hash_key || std::strcmp(Variant, "normal") != 0)
        set_book_start_position();
    struct Step {
        int from, to;
        bool playable;
    };
    Step steps[BOOK_LINE_SIZE];
    int count = 0;
    bool ok = true;

    const char* c = text;
    while (ok) {
        while (*c && std::isspace((unsigned char)*c)) c++;
        if (!*c) break;
        char word[32];
        int length = 0;
        while (c[length] && !std::isspace((unsigned char)c[length])) length++;
        std::snprintf(word, sizeof word, "%.*s", length, c);
        c += length;

        bool playable = true;
        if (length == 5 && word[4] == '?') {
            playable = false;
            length = 4;
        }
        if (length != 4 || !is_square_text(word) || !is_square_text(word + 2)) {
            std::snprintf(message, message_size, "not a move in coordinates (like e2e4): %s", word);
            ok = false;
            break;
        }
        if (count == BOOK_LINE_SIZE) {
            std::snprintf(message, message_size, "line longer than %d half-moves", BOOK_LINE_SIZE);
            ok = false;
            break;
        }
        int from = square_from_text(word);
        int to = square_from_text(word + 2);

        // The board has the final say. Promotions are refused: the format cannot say the piece.
        MoveList list;
        int n = generate_moves(game, list);
        bool found = false, promotion = false;
        for (int i = 0; i < n && !found; i++) {
            if (list[i].from != from || list[i].to != to) continue;
            if (list[i].type >= MOVE_PROMOTE_QUEEN) {
                promotion = true;
                continue;
            }
            if (make_move(game, list[i])) found = true;
        }
        if (!found) {
            std::snprintf(message, message_size,
                          promotion ? "promotions cannot be stored in a Rebel book: %s"
                                    : "illegal move: %s",
                          word);
            ok = false;
            break;
        }
        steps[count++] = Step{from ^ 56, to ^ 56, playable};  // engine square to book square
    }
    while (game.game_ply > 0) unmake_move(game);
    if (!ok) return false;

    int node = 0;
    for (int i = 0; i < count; i++) node = book_tree_child(node, steps[i].from, steps[i].to, steps[i].playable);
    return true;
}

// Depth first: a node's record, then its subtree. A leaf ends its line; the last child of a
// node carries the last-alternative mark, which sends the reader back up the line.
static void encode_children(int parent, unsigned char* out, size_t capacity, size_t* length) {
    for (int c = tree[parent].first_child; c >= 0; c = tree[c].next_sibling) {
        const BookTreeNode& node = tree[c];
        int from = node.from;
        if (node.next_sibling < 0) from |= BOOK_LAST_ALTERNATIVE;
        if (node.first_child < 0) from |= BOOK_END_OF_LINE;
        int to = node.to | (node.playable ? BOOK_PLAYABLE : 0);
        if (*length + 2 <= capacity) {
            out[*length] = (unsigned char)from;
            out[*length + 1] = (unsigned char)to;
        }
        *length += 2;
        encode_children(c, out, capacity, length);
    }
}

size_t book_tree_encode(unsigned char* out, size_t capacity) {
    if (tree.empty()) book_tree_clear();
    size_t length = 0;
    encode_children(0, out, capacity, &length);
    // A closing end record: the main book reader adds its own marker after it, the tournament
    // reader overwrites the last record with one, so either way every line survives.
    if (length + 2 <= capacity) {
        out[length] = BOOK_END_BYTE;
        out[length + 1] = BOOK_END_BYTE;
    }
    return length + 2;
}

bool write_book_file(const char* file_name) {
    std::vector<unsigned char> bytes(book_tree_encode(nullptr, 0));
    book_tree_encode(bytes.data(), bytes.size());
    return write_bytes(file_name, bytes.data(), bytes.size());
}

// --- Reading a book back as text -------------------------------------------------------------

static void print_square(int s) { std::printf("%c%c", 'a' + (s & 7), '1' + (s >> 3)); }

static void print_line(const unsigned char* from, const unsigned char* to, int last, void*) {
    for (int j = 0; j <= last; j++) {
        if (j) std::printf(" ");
        print_square(from[j] & BOOK_SQUARE_MASK);
        print_square(to[j] & BOOK_SQUARE_MASK);
        if (to[j] < BOOK_PLAYABLE) std::printf("?");
    }
    std::printf("\n");
}

bool print_book_lines(const unsigned char* book, size_t size) {
    return walk_book_lines(book, size, false, print_line, nullptr);
}
