// PGN read as a stream: tag pairs, the main line's move words, and everything else passed over.
#include <array>
#include <cstring>

#include "book/book.h"

namespace {

constexpr bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

// A move word runs to a blank or to a character that opens or closes another token.
constexpr bool ends_word(int c) {
    switch (c) {
        case EOF: case '{': case '}': case '(': case ')': case '[': case ']': case ';': case '$':
            return true;
        default:
            return is_blank(c);
    }
}

// ends_word by byte, for the loop that reads most of a collection's text.
constexpr std::array<bool, 256> word_end_table = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; c++) table[c] = ends_word(c);
    return table;
}();

// A PgnResult, or -1 when the word is not a game termination marker.
int result_of(const char* word) {
    if (word[0] != '0' && word[0] != '1' && word[0] != '*') return -1;  // the common case: a move
    if (std::strcmp(word, "1-0") == 0) return PGN_WHITE_WINS;
    if (std::strcmp(word, "0-1") == 0) return PGN_BLACK_WINS;
    if (std::strcmp(word, "1/2-1/2") == 0) return PGN_DRAW;
    if (std::strcmp(word, "*") == 0) return PGN_UNKNOWN;
    return -1;
}

// What follows a move number ("12.", "12...", "1.e4"), or the word itself when it has none.
// Castling written with zeros is a move, not a number.
const char* after_move_number(const char* word) {
    if (word[0] == '0' && word[1] == '-') return word;
    const char* c = word;
    while (is_digit(*c)) c++;
    if (c != word && *c != '.' && *c != '\0') return word;
    while (*c == '.') c++;
    return c;
}

// Annotation glyphs written as words of their own, and the "e.p." some write after en passant.
bool is_annotation(const char* word) {
    switch (word[0]) {  // anything else is the common case, a move
        case '!': case '?': case '+': case '-': case '=': case '~': case 'e': break;
        default: return false;
    }
    if (std::strspn(word, "!?") == std::strlen(word)) return true;
    static const char* const glyphs[] = {"+-", "-+", "+=", "=+", "+/-", "-/+", "+/=", "=/+", "=", "~", "e.p.", "ep"};
    for (const char* glyph : glyphs)
        if (std::strcmp(word, glyph) == 0) return true;
    return false;
}

int rating_of(const char* value) {
    int rating = 0;
    for (const char* c = value; is_digit(*c); c++)
        if (rating < 100000) rating = rating * 10 + (*c - '0');
    return rating;
}

// Values were cut to the tag value size when read.
void copy_value(char* to, const char* value) { std::memcpy(to, value, std::strlen(value) + 1); }

}  // namespace

PgnReader::PgnReader(std::FILE* file, const char* name) : file_(file), name_(name) {}

int PgnReader::fill() {
    if (!file_) return EOF;
    length_ = std::fread(buffer_, 1, sizeof buffer_, file_);
    next_ = 0;
    if (length_ == 0) {
        if (std::ferror(file_)) read_failed_ = true;
        file_ = nullptr;
        return EOF;
    }
    // A UTF-8 byte order mark opens many files written on Windows.
    if (at_file_start_) {
        at_file_start_ = false;
        if (length_ >= 3 && buffer_[0] == 0xEF && buffer_[1] == 0xBB && buffer_[2] == 0xBF) {
            next_ = 3;
            if (length_ == 3) return fill();
        }
    }
    return buffer_[next_];
}

int PgnReader::get() {
    int c = peek();
    if (c == EOF) return EOF;
    next_++;
    line_start_ = c == '\n';
    if (c == '\n') line_++;
    return c;
}

void PgnReader::skip_to_line_end() {
    for (int c = peek(); c != EOF && c != '\n'; c = peek()) get();
}

// After "{": comments do not nest, and nothing in them counts until the closing brace. Long
// comments are common, so the buffer is searched a piece at a time rather than byte by byte.
void PgnReader::skip_comment() {
    const int opened = line_;
    while (peek() != EOF) {
        const unsigned char* start = buffer_ + next_;
        const unsigned char* end = buffer_ + length_;
        const unsigned char* brace = static_cast<const unsigned char*>(std::memchr(start, '}', size_t(end - start)));
        const unsigned char* stop = brace ? brace + 1 : end;
        for (const unsigned char* c = start; c < stop; c++) {
            if (*c != '\n') continue;
            line_++;
            line_start_ = true;
        }
        if (stop > start && stop[-1] != '\n') line_start_ = false;
        next_ = size_t(stop - buffer_);
        if (brace) return;
    }
    std::fprintf(stderr, "%s:%d: comment not closed\n", name_, opened);
}

// After "(": variations nest, and a parenthesis inside a comment or after ";" is no variation's.
void PgnReader::skip_variation() {
    const int opened = line_;
    int depth = 1;
    while (depth > 0) {
        int c = peek();
        if (c == EOF) {
            std::fprintf(stderr, "%s:%d: variation not closed\n", name_, opened);
            return;
        }
        if (c == '%' && line_start_) {
            skip_to_line_end();
            continue;
        }
        get();
        if (c == '(') depth++;
        if (c == ')') depth--;
        if (c == '{') skip_comment();
        if (c == ';') skip_to_line_end();
    }
}

// After "[": NAME "VALUE" ], with \" and \\ escaped in the value.
void PgnReader::read_tag(PgnTags* tags) {
    char name[32], value[PGN_TAG_VALUE_SIZE];
    int name_length = 0, value_length = 0;
    while (peek() == ' ' || peek() == '\t') get();
    for (int c = peek(); c != EOF && !is_blank(c) && c != '"' && c != ']'; c = peek()) {
        get();
        if (name_length < int(sizeof name) - 1) name[name_length++] = char(c);
    }
    name[name_length] = '\0';
    while (peek() == ' ' || peek() == '\t') get();
    bool ok = name_length > 0 && get() == '"';
    while (ok) {
        int c = get();
        if (c == '"') break;
        if (c == '\\' && (peek() == '"' || peek() == '\\')) c = get();
        if (c == EOF || c == '\n') ok = false;
        else if (value_length < PGN_TAG_VALUE_SIZE - 1) value[value_length++] = char(c);
    }
    value[value_length] = '\0';
    while (ok && (peek() == ' ' || peek() == '\t')) get();
    if (!ok || peek() != ']') {
        std::fprintf(stderr, "%s:%d: unreadable tag pair\n", name_, line_);
        for (int c = peek(); c != EOF && c != '\n' && c != ']'; c = peek()) get();
        if (peek() == ']') get();
        return;
    }
    get();
    if (std::strcmp(name, "FEN") == 0) copy_value(tags->fen, value);
    if (std::strcmp(name, "SetUp") == 0) copy_value(tags->set_up, value);
    if (std::strcmp(name, "Variant") == 0) copy_value(tags->variant, value);
    if (std::strcmp(name, "WhiteElo") == 0) tags->white_elo = rating_of(value);
    if (std::strcmp(name, "BlackElo") == 0) tags->black_elo = rating_of(value);
    if (std::strcmp(name, "Result") == 0) {
        int result = result_of(value);
        tags->result = result < 0 ? PGN_UNKNOWN : result;
    }
}

// The rest of a word whose first character was already read; a longer word is cut. No line
// ends inside a word, so the bytes are taken straight from the buffer.
int PgnReader::read_word(char* word) {
    int length = 1;
    while (peek() != EOF) {
        while (next_ < length_ && !word_end_table[buffer_[next_]]) {
            if (length < PGN_WORD_SIZE - 1) word[length++] = char(buffer_[next_]);
            next_++;
        }
        if (next_ < length_) break;
    }
    word[length] = '\0';
    return length;
}

bool PgnReader::next_game(PgnTags* tags) {
    char word[PGN_WORD_SIZE];
    int line;
    while (next_move(word, &line)) {
    }
    *tags = PgnTags{};
    tags->result = PGN_UNKNOWN;
    termination_ = PGN_UNKNOWN;
    bool tagged = false;
    for (;;) {
        int c = peek();
        if (c == EOF) return tagged;  // tags without moves still make a game
        if (c == '%' && line_start_) {
            skip_to_line_end();
            continue;
        }
        // Stray closers belong to no game; the bytes of a byte order mark stand between games
        // where files that each began with one were joined.
        if (is_blank(c) || c == ')' || c == '}' || c == ']' || c == 0xEF || c == 0xBB || c == 0xBF) {
            get();
            continue;
        }
        if (c == '[') {
            get();
            read_tag(tags);
            tagged = true;
            continue;
        }
        if (c == '{') {
            get();
            skip_comment();
            continue;
        }
        if (c == ';') {
            skip_to_line_end();
            continue;
        }
        in_game_ = true;
        return true;
    }
}

bool PgnReader::next_move(char* word, int* line) {
    while (in_game_) {
        int c = peek();
        if (c == EOF || c == '[') break;  // a tag begins the next game, even without a marker
        if (c == '%' && line_start_) {
            skip_to_line_end();
            continue;
        }
        get();
        if (is_blank(c) || c == ')' || c == '}' || c == ']') continue;
        if (c == '{') {
            skip_comment();
            continue;
        }
        if (c == ';') {
            skip_to_line_end();
            continue;
        }
        if (c == '(') {
            skip_variation();
            continue;
        }
        if (c == '$') {  // a numeric annotation glyph
            while (is_digit(peek())) get();
            continue;
        }
        *line = line_;
        word[0] = char(c);
        const int length = read_word(word);
        int result = result_of(word);
        if (result >= 0) {
            termination_ = result;
            in_game_ = false;
            return false;
        }
        const char* move = after_move_number(word);
        if (*move == '\0' || is_annotation(move)) continue;
        if (move != word) std::memmove(word, move, size_t(length - (move - word)) + 1);
        return true;
    }
    in_game_ = false;
    return false;
}
