// The UCI protocol driver: commands, positions, searches, and the lines a running search sees.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "search/search.h"
#include "shell/shell.h"

namespace {

using Words = std::vector<std::string_view>;

constexpr const char* ENGINE_AUTHOR = "the Tolvane team";
constexpr const char* INFO_PREFIX = "info string ";
// A bare "go" still has to end: as the xboard driver before any time command.
constexpr int DEFAULT_MOVE_TIME_MS = 5000;
constexpr int PROGRESS_INTERVAL_MS = 1000;
constexpr int FEN_FIELDS_LEAST = 4;  // placement, side, castling, en passant
constexpr int FEN_FIELDS_MOST = 6;   // and the two move counters
constexpr int FIFTY_MOVE_PLIES = 100;
constexpr int ECHO_SIZE = 80;        // how much of an offending word a message repeats

const char* const COMMANDS[] = {"uci", "debug", "isready", "setoption", "register", "ucinewgame",
                                "position", "go", "stop", "ponderhit", "quit"};
const char* const GO_WORDS[] = {"searchmoves", "ponder", "wtime", "btime", "winc", "binc", "movestogo",
                                "depth", "nodes", "mate", "movetime", "infinite"};
constexpr int castle_right_bit[4] = {CASTLE_WHITE_SHORT, CASTLE_WHITE_LONG, CASTLE_BLACK_SHORT,
                                     CASTLE_BLACK_LONG};

std::deque<std::string> kept_lines;  // what came during a search, served after it in order
bool debug_mode = false;

// The search under way and what the interface has said during it.
bool pondering = false;      // a "go ponder" search not yet hit
bool stop_asked = false;     // "stop", or "ponderhit" once a pondering search has ended
bool quit_asked = false;     // "quit", or the interface went away
bool book_answered = false;  // the move came from the book: there is no line to ponder on
Move shown_line[2];          // the start of the last line shown: a move and the reply expected
int64_t last_progress_ms = 0;
int64_t last_look_ms = 0;    // when the search last looked at the input

bool is_no_move(Move m) { return m.from == 0 && m.to == 0; }

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

Words split_words(const char* line) {
    Words words;
    for (const char* c = line; *c != '\0';) {
        if (is_blank(*c)) {
            c++;
            continue;
        }
        const char* start = c;
        while (*c != '\0' && !is_blank(*c)) c++;
        words.emplace_back(start, static_cast<size_t>(c - start));
    }
    return words;
}

std::string join(const Words& words, size_t first, size_t end) {
    std::string text;
    for (size_t i = first; i < end; i++) {
        if (i > first) text += ' ';
        text += words[i];
    }
    return text;
}

// Messages repeat at most the start of what was sent.
std::string echo(std::string_view word) { return std::string(word.substr(0, ECHO_SIZE)); }

bool is_one_of(std::string_view word, const char* const* list, size_t count) {
    for (size_t i = 0; i < count; i++)
        if (word == list[i]) return true;
    return false;
}

// UCI asks to skip words it does not know and read on: "joho debug on" is "debug on".
size_t command_index(const Words& words) {
    for (size_t i = 0; i < words.size(); i++)
        if (is_one_of(words[i], COMMANDS, std::size(COMMANDS))) return i;
    return words.size();
}

// The whole word is a decimal number (a sign allowed); clamped to what an int64_t holds.
bool read_number(std::string_view word, int64_t* value) {
    size_t i = word.size() > 0 && (word[0] == '-' || word[0] == '+') ? 1 : 0;
    if (i == word.size()) return false;
    int64_t n = 0;
    for (; i < word.size(); i++) {
        if (word[i] < '0' || word[i] > '9') return false;
        if (n < INT64_MAX / 10) n = n * 10 + (word[i] - '0');
    }
    *value = word[0] == '-' ? -n : n;
    return true;
}

int to_int(int64_t n) { return n > INT32_MAX ? INT32_MAX : n < -INT32_MAX ? -INT32_MAX : static_cast<int>(n); }

// --- Moves in long algebraic notation ------------------------------------------------------------

// In Chess960 the king castles by taking its own rook; the move lands on the usual squares.
bool castles_onto_rook(int from, int to, int* king_to) {
    const int side = game.side;
    if (game.piece[from] != KING || game.color[from] != side) return false;
    if (game.piece[to] != ROOK || game.color[to] != side) return false;
    for (int long_side = 0; long_side < 2; long_side++) {
        const int right = (side == WHITE ? 0 : 2) + long_side;
        if ((game.castle & castle_right_bit[right]) && game.castle_rook[right] == to) {
            if (side == WHITE) *king_to = long_side ? C1 : G1;
            else *king_to = long_side ? C8 : G8;
            return true;
        }
    }
    return false;
}

bool is_square_text(char file, char rank) { return file >= 'a' && file <= 'h' && rank >= '1' && rank <= '8'; }

// The legal move a text such as "e2e4" or "e7e8q" names here, or NO_MOVE.
Move move_from_text(std::string_view word) {
    if (word.size() < 4 || word.size() > 5) return NO_MOVE;
    if (!is_square_text(word[0], word[1]) || !is_square_text(word[2], word[3])) return NO_MOVE;
    char text[6] = {};
    word.copy(text, word.size());
    const int from = square_from_text(text);
    int to = square_from_text(text + 2);
    int type = MOVE_NORMAL;
    int king_to = 0;
    if (variant_kind == VARIANT_FISCHERANDOM && word.size() == 4 && castles_onto_rook(from, to, &king_to)) {
        to = king_to;
        type = MOVE_CASTLE;
    } else if (int special = move_type_from_text(game, from, to, text); special != 0) {
        type = special;
    }
    // A fifth letter only names a promotion.
    if (word.size() == 5 && type < MOVE_PROMOTE_QUEEN) return NO_MOVE;
    return find_legal_move(game, from, to, type);
}

// --- Lines during a search -----------------------------------------------------------------------

// A line that arrives while a search runs, or while its answer waits for the interface's word
// after it ended early: true when the line ends the search. Lines that are not for the search
// wait for it, in order. A running search saw no such line at its look before `arrived_after`.
bool serve_search_line(const char* line, bool running, int64_t arrived_after) {
    const Words words = split_words(line);
    const size_t at = command_index(words);
    const std::string_view command = at < words.size() ? words[at] : std::string_view();
    if (command == "isready") {
        fputs("readyok\n", stdout);
        return false;
    }
    if (command == "stop") {
        stop_asked = true;
        return true;
    }
    if (command == "quit") {
        quit_asked = true;
        return true;
    }
    if (command == "ponderhit") {
        if (!pondering) return false;  // nothing to hit
        pondering = false;
        // A search that has ended answers now; a running one goes on, on a clock that started
        // when the word may have come: the interface's clock started when it sent it.
        if (!running) {
            stop_asked = true;
            return true;
        }
        ponder_hit(arrived_after);
        return false;
    }
    kept_lines.emplace_back(line);
    return false;
}

// The search's look at the interface, every few thousand nodes: progress once a second, and
// every whole line that has arrived.
bool poll_interface() {
    const int64_t now = now_ms();
    if (now - last_progress_ms >= PROGRESS_INTERVAL_MS) {
        print_search_progress();
        last_progress_ms = now;
    }
    const int64_t arrived_after = last_look_ms;
    last_look_ms = now;
    static char line[UCI_LINE_SIZE];
    while (input_pending()) {
        if (!peek_line(line, sizeof line)) {
            // Half a line waits for its end; an interface that went away ends the search.
            if (!input_ended()) return false;
            quit_asked = true;
            return true;
        }
        read_line(line, sizeof line);
        if (serve_search_line(line, true, arrived_after)) return true;
    }
    return false;
}

// After "go infinite" or "go ponder" the interface says when the answer is due.
void wait_for_stop() {
    static char line[UCI_LINE_SIZE];
    while (!stop_asked && !quit_asked) {
        if (!read_line(line, sizeof line)) {
            quit_asked = true;
            return;
        }
        serve_search_line(line, false, now_ms());
    }
}

void book_move_found(Move move) {
    book_answered = true;
    print_book_info(move);
}

// An iteration cut short starts its line afresh: the reply to ponder on is the last one shown.
void line_found(const SearchThread& t, int score) {
    shown_line[0] = t.pv[0][0];
    shown_line[1] = t.pv_length[0] >= 2 ? t.pv[0][1] : NO_MOVE;
    print_search_info(t, score);
}

void lines_found(const SearchThread& t) {
    shown_line[0] = t.lines[0].moves[0];
    shown_line[1] = t.lines[0].length >= 2 ? t.lines[0].moves[1] : NO_MOVE;
    print_search_lines(t);
}

// --- Commands ------------------------------------------------------------------------------------

void uci_reply() {
    printf("id name %s\n", ENGINE_NAME);
    printf("id author %s\n", ENGINE_AUTHOR);
    print_uci_options();
    printf("uciok\n");
}

void debug_command(const Words& words, size_t at) {
    if (at + 1 < words.size() && (words[at + 1] == "on" || words[at + 1] == "off")) {
        debug_mode = words[at + 1] == "on";
    } else {
        info_string("debug needs on or off");
    }
}

// setoption name <name, words and all> [value <value, spaces kept>]
void setoption_command(const Words& words, size_t at) {
    size_t i = at + 1;
    if (i >= words.size() || words[i] != "name" || i + 1 >= words.size() || words[i + 1] == "value") {
        info_string("setoption needs: name <option> [value <value>]");
        return;
    }
    const size_t name_start = ++i;
    while (i < words.size() && words[i] != "value") i++;
    const std::string name = join(words, name_start, i);
    if (i == words.size()) {
        set_uci_option(name.c_str(), nullptr);
        return;
    }
    std::string value;
    if (i + 1 < words.size()) {
        const char* first = words[i + 1].data();
        const char* end = words.back().data() + words.back().size();
        value.assign(first, end);
    }
    set_uci_option(name.c_str(), value.c_str());
}

// A whole position with its history is too large for the stack of every system: it is kept on the heap.
struct Snapshot {
    std::unique_ptr<Position> position;
    std::string variant;
};

Snapshot take_snapshot() { return {std::make_unique<Position>(game), Variant}; }

void restore(const Snapshot& s) {
    game = *s.position;
    set_variant(s.variant.c_str());
}

// position startpos|fen <four to six fields> [moves <move> ...]: all of it or none of it.
void position_command(const Words& words, size_t at) {
    const size_t n = words.size();
    size_t i = at + 1;
    std::string text;
    int64_t halfmoves = 0;
    if (i < n && words[i] == "startpos") {
        text = START_POSITION;
        i++;
    } else if (i < n && words[i] == "fen") {
        const size_t first = ++i;
        while (i < n && words[i] != "moves") i++;
        const size_t fields = i - first;
        if (fields < FEN_FIELDS_LEAST || fields > FEN_FIELDS_MOST) {
            info_string("Position refused: a FEN has %d to %d fields, this one %d", FEN_FIELDS_LEAST,
                        FEN_FIELDS_MOST, static_cast<int>(fields));
            return;
        }
        if (words[first + 1] != "w" && words[first + 1] != "b") {
            info_string("Position refused: the side to move is w or b, not %s", echo(words[first + 1]).c_str());
            return;
        }
        int64_t fullmove = 1;
        if ((fields >= 5 && (!read_number(words[first + 4], &halfmoves) || halfmoves < 0)) ||
            (fields == 6 && (!read_number(words[first + 5], &fullmove) || fullmove < 0))) {
            info_string("Position refused: the move counters are numbers from 0");
            return;
        }
        text = join(words, first, first + FEN_FIELDS_LEAST);
    } else {
        info_string("Position refused: startpos or fen expected");
        return;
    }
    if (i < n && words[i] != "moves") {
        info_string("Position refused: moves expected, not %s", echo(words[i]).c_str());
        return;
    }
    if (i < n) i++;

    const Snapshot before = take_snapshot();
    set_variant(uci_chess960 ? "fischerandom" : "normal");
    if (!setup_position(game, text.c_str())) {
        restore(before);
        info_string("Illegal position: %s", echo(text).c_str());
        return;
    }
    // Past the draw line the counter changes nothing more.
    game.fifty = static_cast<int>(halfmoves < FIFTY_MOVE_PLIES ? halfmoves : FIFTY_MOVE_PLIES);
    game.ply = 0;
    for (; i < n; i++) {
        if (game.game_ply >= GAME_PLY_LIMIT) {
            restore(before);
            info_string("Position refused: longer than %d half-moves", GAME_PLY_LIMIT);
            return;
        }
        const Move m = move_from_text(words[i]);
        if (is_no_move(m) || !make_move(game, m)) {
            restore(before);
            info_string("Illegal move %s: the position stays as it was", echo(words[i]).c_str());
            return;
        }
        game.ply = 0;
    }
}

struct GoRequest {
    int clock[2] = {0, 0};  // by Color, milliseconds
    bool has_clock[2] = {false, false};
    int increment[2] = {0, 0};
    int moves_to_go = 0;  // 0: the rest of the game
    int move_time = 0;
    bool has_move_time = false;
    int depth = 0;        // plies; 0: none
    int64_t nodes = 0;    // 0: none
    int mate = 0;         // moves; 0: none
    bool infinite = false;
    bool ponder = false;
    std::vector<Move> root_moves;
};

void read_go(const Words& words, size_t at, GoRequest* go) {
    const size_t n = words.size();
    for (size_t i = at + 1; i < n; i++) {
        const std::string_view word = words[i];
        if (word == "infinite") {
            go->infinite = true;
        } else if (word == "ponder") {
            go->ponder = true;
        } else if (word == "searchmoves") {
            while (i + 1 < n && !is_one_of(words[i + 1], GO_WORDS, std::size(GO_WORDS))) {
                const Move m = move_from_text(words[++i]);
                if (is_no_move(m)) info_string("searchmoves: %s is not a legal move here", echo(words[i]).c_str());
                else go->root_moves.push_back(m);
            }
        } else if (is_one_of(word, GO_WORDS, std::size(GO_WORDS))) {
            int64_t v = 0;
            if (i + 1 >= n || !read_number(words[i + 1], &v)) {
                info_string("go: %s needs a number", echo(word).c_str());
                continue;
            }
            i++;
            const int value = to_int(v);
            if (word == "wtime" || word == "btime") {
                const int side = word == "wtime" ? WHITE : BLACK;
                go->clock[side] = value;
                go->has_clock[side] = true;
            } else if (word == "winc" || word == "binc") {
                go->increment[word == "winc" ? WHITE : BLACK] = value > 0 ? value : 0;
            } else if (word == "movestogo") {
                go->moves_to_go = value > 0 ? value : 0;
            } else if (word == "movetime") {
                go->move_time = value > 0 ? value : 0;
                go->has_move_time = true;
            } else if (word == "depth") {
                go->depth = value < 1 ? 1 : value > MAX_PLY - 1 ? MAX_PLY - 1 : value;
            } else if (word == "nodes") {
                go->nodes = v < 1 ? 1 : v;
            } else {
                go->mate = value > 0 ? value : 0;
            }
        } else {
            info_string("go: %s ignored", echo(word).c_str());
        }
    }
}

// The clock goes through the time rules of the xboard driver: the engine's own time and
// increment, with "movestogo" as the moves left in the period. "movetime" is "st" in
// milliseconds and caps the clock's limits; "depth" D searches D plies; "infinite" has no limit.
void set_go_limits(const GoRequest& go) {
    const int side = game.side;
    if (go.infinite) {
        set_fixed_limits(NO_TIME_LIMIT_MS, MAX_PLY);
    } else if (go.has_clock[side]) {
        set_time_level(0, go.increment[side]);
        set_time_clock_ms(go.clock[side], go.moves_to_go);
        if (go.has_move_time) {
            TimeControl& tc = time_control;
            for (int* limit : {&tc.move_time_ms, &tc.soft_limit_ms, &tc.extended_limit_ms, &tc.hard_limit_ms})
                if (*limit > go.move_time) *limit = go.move_time;
        }
    } else if (go.has_move_time) {
        set_time_move_ms(go.move_time);
    } else if (go.depth > 0 || go.nodes > 0 || go.mate > 0) {
        set_fixed_limits(NO_TIME_LIMIT_MS, MAX_PLY);
    } else {
        set_time_move_ms(DEFAULT_MOVE_TIME_MS);
    }
    if (go.depth > 0 && go.depth + 1 < time_control.max_depth) time_control.max_depth = go.depth + 1;
    time_control.node_limit = go.nodes;
    time_control.mate_moves = go.mate;
    if (debug_mode) {
        const TimeControl& tc = time_control;
        info_string("limits: move %d soft %d extended %d hard %d ms, moves to go %d, iterations below %d",
                    tc.move_time_ms, tc.soft_limit_ms, tc.extended_limit_ms, tc.hard_limit_ms,
                    tc.moves_to_go, tc.max_depth);
    }
}

Move first_root_move() {
    MoveList list;
    const int n = keep_root_moves(list, generate_moves(game, list));
    for (int i = 0; i < n; i++) {
        if (!make_move(game, list[i])) continue;
        unmake_move(game);
        return list[i];
    }
    return NO_MOVE;
}

// The shown line's second move, when it answers this best move and is legal after it.
Move expected_reply(Move best) {
    if (book_answered || is_no_move(shown_line[1])) return NO_MOVE;
    if (!same_move(shown_line[0], best) || shown_line[0].type != best.type) return NO_MOVE;
    if (!make_move(game, best)) return NO_MOVE;
    const Move reply = find_legal_move(game, shown_line[1].from, shown_line[1].to, shown_line[1].type);
    unmake_move(game);
    game.ply = 0;
    return reply;
}

void print_best_move(Move best) {
    if (is_no_move(best)) {
        fputs("bestmove 0000\n", stdout);
        return;
    }
    char text[MOVE_TEXT_SIZE];
    format_move(game, text, best, NOTATION_UCI);
    const Move reply = expected_reply(best);
    if (is_no_move(reply)) {
        printf("bestmove %s\n", text);
        return;
    }
    char reply_text[MOVE_TEXT_SIZE];
    format_move(game, reply_text, reply, NOTATION_UCI);
    printf("bestmove %s ponder %s\n", text, reply_text);
}

// Returns false when the interface said "quit" (or went away) before the answer.
bool go_command(const Words& words, size_t at) {
    GoRequest go;
    read_go(words, at, &go);
    apply_pending_options();
    set_go_limits(go);
    set_root_moves(go.root_moves.data(), static_cast<int>(go.root_moves.size()));

    pondering = go.ponder;
    stop_asked = quit_asked = book_answered = false;
    shown_line[0] = shown_line[1] = NO_MOVE;
    go_start_ms = last_progress_ms = last_look_ms = now_ms();
    Move best = NO_MOVE;
    // Every search plays up to MAX_PLY moves above the game on the history: a game at its end
    // gets a legal move without one.
    if (game.game_ply < GAME_PLY_LIMIT && count_root_moves(game) > 0) {
        search_mode = go.infinite ? MODE_ANALYZE : go.ponder ? MODE_PONDER : MODE_THINK;
        best = root_search(game.side);
        game.ply = 0;
        if (!book_answered) print_search_progress();
    }
    // Also when a search stopped before any root move was searched through.
    if (is_no_move(best)) best = first_root_move();
    set_root_moves(nullptr, 0);

    // Even a search that ended by itself answers an infinite or pondering "go" only when told.
    if ((go.infinite || pondering) && !stop_asked && !quit_asked) wait_for_stop();
    pondering = false;
    print_best_move(best);
    return !quit_asked;
}

}  // namespace

void uci_begin() {
    // What the console printed goes first; from here on every line leaves at once.
    fflush(stdout);
    setvbuf(stdout, nullptr, _IONBF, 0);
    poll_input = poll_interface;
    show_thinking = line_found;
    show_lines = lines_found;
    show_root_move = print_current_move;
    show_bound = print_bound;
    show_book_move = book_move_found;
    set_variant("normal");
    setup_position(game, START_POSITION);
    clear_game_memory();
    game.ply = 0;
    if (book_enabled) load_book_reporting(INFO_PREFIX);
    load_bitbases_reporting(INFO_PREFIX);
}

bool uci_command(const char* line) {
    // A cut line could end in the middle of a move list and set up another position.
    if (strnlen(line, UCI_LINE_SIZE) >= static_cast<size_t>(UCI_LINE_SIZE - 1)) {
        info_string("Line of %d characters or more ignored", UCI_LINE_SIZE - 1);
        return true;
    }
    const Words words = split_words(line);
    if (words.empty()) return true;
    const size_t at = command_index(words);
    if (at == words.size()) {
        info_string("Unknown command: %s", echo(words[0]).c_str());
        return true;
    }
    const std::string_view command = words[at];
    if (command == "uci") {
        uci_reply();
    } else if (command == "debug") {
        debug_command(words, at);
    } else if (command == "isready") {
        apply_pending_options();
        fputs("readyok\n", stdout);
    } else if (command == "setoption") {
        setoption_command(words, at);
    } else if (command == "ucinewgame") {
        clear_game_memory();
    } else if (command == "position") {
        position_command(words, at);
    } else if (command == "go") {
        return go_command(words, at);
    } else if (command == "quit") {
        return false;
    }
    // "register" needs nothing; "stop" and "ponderhit" without a search have nothing to act on.
    return true;
}

void uci_loop() {
    uci_begin();
    if (!uci_command("uci")) return;
    static char line[UCI_LINE_SIZE];
    for (;;) {
        std::string next;
        if (!kept_lines.empty()) {
            next = std::move(kept_lines.front());
            kept_lines.pop_front();
        } else if (read_line(line, sizeof line)) {
            next = line;
        } else {
            return;
        }
        if (!uci_command(next.c_str())) return;
    }
}
