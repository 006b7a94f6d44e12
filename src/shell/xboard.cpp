// The xboard protocol driver: features, commands, the engine's moves, pondering and analysis.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "search/search.h"
#include "shell/shell.h"

int engine_side = EMPTY;
int ponder_enabled = 0;
int ponder_pending = 0;

namespace {

constexpr const char* FEATURE_LINE =
    "feature myname=\"%s\" ping=1 setboard=1 draw=0 sigint=0 sigterm=0 "
    "variants=\"normal,nocastle,fischerandom\" colors=0 ics=1\n";
// What the engine offers beyond the line above: several search threads, set by "cores", root
// moves left out of the search by "exclude" and "include", a memory budget for the tables
// ("memory"), and several lines ("option MultiPV=N": the name XBoard's engine-output window
// sets with its "fewer / more" buttons; the current setting is the default it shows, then the range).
constexpr const char* EXTRA_FEATURE_LINE =
    "feature smp=1 exclude=1 memory=1 option=\"MultiPV -spin %d 1 %d\"\n";
constexpr const char* MULTI_PV_OPTION = "MultiPV";
constexpr const char* MULTI_PV_SPELLING = "Multi-PV";  // as WinBoard's documents write it

constexpr int HINT_TIME_MS = 5000;
constexpr int HINT_DEPTH = 100;
constexpr int ANALYSIS_DEPTH = 100;
// Before any time command the engine still has to move: this much per move.
constexpr int DEFAULT_MOVE_TIME_MS = 5000;
constexpr int DEFAULT_DEPTH = 100;
// Beyond these the protocol's numbers would overflow the millisecond fields.
constexpr int MAX_CLOCK_CENTISECONDS = 200000000;
constexpr int MAX_SECONDS = 2000000;

int analyzing = 0;          // an analysis runs until "exit"
int analysis_idle = 0;      // the analysis of this position ended by itself; wait for a line
int moved_since_read = 0;   // the engine moved after the last line was read
int side_while_thinking = EMPTY;

// The root moves the interface chose with "exclude" and "include", for the current position
// only: any change of position forgets them.
struct RootChoice {
    bool active = false;  // false: every legal move, as before any choice
    int count = 0;
    Move moves[MAX_MOVES];    // the legal moves of the position
    bool included[MAX_MOVES];
};
RootChoice root_choice;

void forget_root_choice() { root_choice.active = false; }

void start_root_choice() {
    if (root_choice.active) return;
    root_choice.active = true;
    root_choice.count = 0;
    MoveList list;
    const int n = generate_moves(game, list);
    for (int i = 0; i < n; i++) {
        if (!make_move(game, list[i])) continue;
        unmake_move(game);
        root_choice.moves[root_choice.count] = list[i];
        root_choice.included[root_choice.count++] = true;
    }
    game.ply = 0;
}

// The chosen moves go to the search; none chosen, or every one, is the whole move list: a
// search always has a move to play.
void restrict_root_moves() {
    Move kept[MAX_MOVES];
    int n = 0;
    for (int i = 0; root_choice.active && i < root_choice.count; i++) {
        if (root_choice.included[i]) kept[n++] = root_choice.moves[i];
    }
    set_root_moves(kept, n == root_choice.count ? 0 : n);
}

// "memory N": the hash table and every thread's caches within N megabytes, for the threads of the
// next search ("cores" may come after "memory").
int memory_mb = 0;          // 0: the tables at their settings
int memory_threads = 0;     // the threads the tables were last fitted for
int ecache_ceiling_mb = 0;  // the cache setting on entry: a budget only ever shrinks the caches

void fit_tables_to_memory() {
    if (memory_mb == 0 || memory_threads == search_threads) return;
    memory_threads = search_threads;
    // Threads added since the budget was checked may leave it too small: the smallest tables then.
    int hash = 1, cache = 1;
    tables_within(memory_mb, search_threads, ecache_ceiling_mb, &hash, &cache);
    if (hash != hash_mb && !resize_hash_table(hash)) {
        printf("Error (no memory for a hash table of %d MB): memory %d\n", hash, memory_mb);
    }
    if (cache != ecache_mb) {
        const int old = ecache_mb;
        set_ecache_mb(cache);
        if (!resize_eval_caches()) {
            set_ecache_mb(old);
            resize_eval_caches();
        }
    }
}

void memory_command(int megabytes) {
    const int least = least_table_megabytes(search_threads);
    if (megabytes < least || megabytes > MAX_HASH_MB) {
        printf("Error (memory must be %d to %d MB): memory %d\n", least, MAX_HASH_MB, megabytes);
        return;
    }
    memory_mb = megabytes;
    memory_threads = 0;
    fit_tables_to_memory();
}

// Every search of the driver: on the chosen root moves, the choice kept for the next one.
Move search_root(int own_side) {
    fit_tables_to_memory();
    restrict_root_moves();
    const Move m = root_search(own_side);
    set_root_moves(nullptr, 0);
    return m;
}

// Every search plays up to MAX_PLY moves above the game on the history.
bool room_to_search() { return game.game_ply < GAME_PLY_LIMIT; }

// No legal move has from and to both on a8.
bool is_no_move(Move m) { return m.from == 0 && m.to == 0; }

// Sets up a position text as a new game; false (and nothing changed) when the board refuses it.
bool set_position(const char* text) {
    if (!setup_position(game, text)) return false;
    forget_root_choice();
    clear_game_memory();
    engine_side = EMPTY;
    ponder_pending = 0;
    game.ply = 0;
    return true;
}

void new_game() {
    set_variant("normal");
    set_position(START_POSITION);
    engine_side = BLACK;
}

// The engine's own move: search, play, print, adjudicate.
void play_engine_move() {
    // No time command yet (depth 0), or "sd 1", would run no iteration at all.
    if (time_control.max_depth == 0) set_fixed_limits(DEFAULT_MOVE_TIME_MS, DEFAULT_DEPTH);
    if (time_control.max_depth < 2) time_control.max_depth = 2;

    side_while_thinking = engine_side;
    search_mode = MODE_THINK;
    Move m = search_root(engine_side);
    game.ply = 0;
    // A line that arrived while the engine thought made it move at once; it leaves the game
    // (the line is served next, and a harmless one brings the engine back).
    if (stop_search == STOP_INPUT) engine_side = EMPTY;
    if (is_no_move(m)) m = first_legal_move(game);
    if (is_no_move(m) || make_move(game, m) == 0) {
        // Nothing playable: leave the game to the interface rather than print a non-move.
        engine_side = EMPTY;
        return;
    }
    game.ply = 0;
    forget_root_choice();
    print_move(m);
    check_game_end();
    ponder_pending = 1;
    moved_since_read = 1;
}

void ponder() {
    search_mode = MODE_PONDER;
    search_root(engine_side);
    game.ply = 0;
    ponder_pending = 0;
}

// During analysis a status request (".", or a line without a word) is read and answered by the
// thinking lines themselves; any other line (a move, "undo", "exit", ...) stops the search unread.
// A partial line or the end of input stops it too.
bool analysis_input_stops() {
    if (!input_pending()) return false;
    char line[INPUT_LINE_SIZE];
    char word[INPUT_LINE_SIZE];
    if (peek_line(line, sizeof(line)) && (sscanf(line, "%255s", word) != 1 || strcmp(word, ".") == 0)) {
        read_line(line, sizeof(line));
        return false;
    }
    return true;
}

// One analysis search. The loop acts on the line that stopped it next, then analyses on.
void analyze() {
    TimeControl saved = time_control;
    set_fixed_limits(NO_TIME_LIMIT_MS, ANALYSIS_DEPTH);
    search_mode = MODE_ANALYZE;
    engine_side = EMPTY;
    bool (*saved_poll)() = poll_input;
    poll_input = analysis_input_stops;
    search_root(EMPTY);
    poll_input = saved_poll;
    game.ply = 0;
    time_control = saved;
    engine_side = EMPTY;
    // Ended by its own limits rather than by a line: analyse again only once the interface
    // has said something (a move, "undo", ...).
    if (!input_pending()) analysis_idle = 1;
}

void hint() {
    if (!room_to_search() || !has_legal_move(game)) return;
    // The hint must not change the game's clock settings; a line that stops it does not send
    // the engine into force mode.
    TimeControl saved = time_control;
    set_fixed_limits(HINT_TIME_MS, HINT_DEPTH);
    search_mode = MODE_THINK;
    Move m = search_root(engine_side);
    game.ply = 0;
    time_control = saved;
    // The returned move is the variation's first one, or the book's, which leaves the
    // variation of an earlier search in place.
    if (is_no_move(m)) return;
    char text[MOVE_TEXT_SIZE];
    format_move(game, text, m, NOTATION_MOVE_LINE);
    printf("Hint: %s\n", text);
}

void missing_argument(const char* command) { printf("Error (missing argument): %s\n", command); }

// The number after the command word, or a message when there is none.
bool number_argument(const char* line, const char* command, int* value) {
    char word[INPUT_LINE_SIZE];
    const char* rest = read_word(line, word, sizeof word);
    read_word(rest, word, sizeof word);
    if (read_int(word, value)) return true;
    missing_argument(command);
    return false;
}

// "exclude MOVE", "include MOVE", "exclude all", "include all": the root moves of the searches
// of this position.
void choose_root_moves(const char* line, const char* command, bool include) {
    char word[INPUT_LINE_SIZE];
    read_word(read_word(line, word, sizeof word), word, sizeof word);
    if (word[0] == '\0') {
        missing_argument(command);
        return;
    }
    Move m = NO_MOVE;
    const bool all = strcmp(word, "all") == 0;
    if (!all && (!read_user_move(word, &m) || is_no_move(m))) {
        printf("Error (illegal move): %s %s\n", command, word);
        return;
    }
    start_root_choice();
    for (int i = 0; i < root_choice.count; i++) {
        const Move& c = root_choice.moves[i];
        if (all || (same_move(c, m) && c.type == m.type)) root_choice.included[i] = include;
    }
}

int clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// "option NAME=VALUE", for the options of the feature line.
void option_command(const char* line) {
    char word[INPUT_LINE_SIZE];
    const char* rest = read_word(line, word, sizeof word);
    while (*rest == ' ' || *rest == '\t') rest++;
    char text[INPUT_LINE_SIZE];
    snprintf(text, sizeof text, "%s", rest);
    text[strcspn(text, "\r\n")] = '\0';
    char* value = strchr(text, '=');
    if (value != nullptr) *value++ = '\0';
    for (size_t n = strlen(text); n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t'); n--) text[n - 1] = '\0';
    if (strcmp(text, MULTI_PV_OPTION) != 0 && strcmp(text, MULTI_PV_SPELLING) != 0) {
        printf("Error (unknown option): %s\n", text);
        return;
    }
    int n = 0;
    if (value == nullptr || !read_int(value, &n)) {
        missing_argument("option");
        return;
    }
    set_multipv(clamp(n, 1, MAX_LINES));
}

// Seconds as text, with a fraction: "level 0 2 0.5" gives half a second of increment.
bool read_seconds_ms(const char* word, int* ms) {
    char* end = nullptr;
    double seconds = strtod(word, &end);
    if (end == word) return false;
    if (!(seconds >= 0)) seconds = 0;
    if (seconds > MAX_SECONDS) seconds = MAX_SECONDS;
    *ms = static_cast<int>(seconds * 1000 + 0.5);
    return true;
}

void level_command(const char* line) {
    char word[INPUT_LINE_SIZE];
    char moves_word[INPUT_LINE_SIZE];
    char increment_word[INPUT_LINE_SIZE];
    const char* rest = read_word(line, word, sizeof word);
    rest = read_word(rest, moves_word, sizeof moves_word);
    rest = read_word(rest, word, sizeof word);  // the base time: the clock comes from "time"
    read_word(rest, increment_word, sizeof increment_word);
    int moves = 0;
    int increment_ms = 0;
    if (!read_int(moves_word, &moves) || !read_seconds_ms(increment_word, &increment_ms)) {
        missing_argument("level");
        return;
    }
    set_time_level(clamp(moves, 0, MAX_SECONDS), increment_ms);
}

// Seconds per move, with a fraction as in "st 0.5".
void st_command(const char* line) {
    char word[INPUT_LINE_SIZE];
    int ms = 0;
    read_word(read_word(line, word, sizeof word), word, sizeof word);
    if (!read_seconds_ms(word, &ms)) {
        missing_argument("st");
        return;
    }
    set_time_st_ms(ms);
}

void setboard_command(const char* line) {
    // Each word holds up to a full input line, so the longest placement fits.
    char word[INPUT_LINE_SIZE];
    char fields[4][INPUT_LINE_SIZE];
    const char* rest = read_word(line, word, sizeof word);
    for (auto& field : fields) rest = read_word(rest, field, sizeof field);
    char text[4 * INPUT_LINE_SIZE];
    snprintf(text, sizeof text, "%s%s%s%s", fields[0], fields[1], fields[2], fields[3]);
    if (fields[3][0] == '\0' || !set_position(text)) {
        printf("tellusererror Illegal position\n");
        return;
    }
}

// "white" and "black" name the side to move; the key must follow the side. A side in check
// keeps the move: handing it to the other side would leave a king to be taken, which no game
// reaches and no search may start from.
bool set_side_to_move(int side) {
    if (game.side == side) return true;
    if (in_check(game, game.side)) return false;
    forget_root_choice();
    game.side = side;
    game.ep = NO_SQUARE;
    game.hash_key = compute_hash_key(game);
    return true;
}

// Lines that leave the game as it is: when they arrive while the engine thinks, the engine
// has moved at once (the search stops on any input), and should go on playing.
bool is_harmless_during_thinking(const char* command) {
    static const char* const harmless[] = {"?", "ping", ".", "post", "nopost", "hard", "easy",
                                           "otim", "computer", "name", "rating", "accepted", "cores",
                                           "memory", "option"};
    for (const char* h : harmless) {
        if (strcmp(command, h) == 0) return true;
    }
    return false;
}

// Returns false on "quit".
bool run_command(const char* line, const char* command) {
    int n = 0;
    if (strcmp(command, "xboard") == 0) {
    } else if (strcmp(command, "protover") == 0) {
        printf(FEATURE_LINE, ENGINE_NAME);
        printf(EXTRA_FEATURE_LINE, multipv, MAX_LINES);
        printf("feature done=1\n");
    } else if (strcmp(command, "accepted") == 0) {
    } else if (strcmp(command, "rejected") == 0) {
        printf("feature rejected\n");
    } else if (strcmp(command, "new") == 0) {
        new_game();
    } else if (strcmp(command, "variant") == 0) {
        char word[INPUT_LINE_SIZE];
        char name[VARIANT_TEXT_SIZE];
        read_word(read_word(line, word, sizeof word), name, sizeof name);
        if (name[0] == '\0') missing_argument(command);
        else set_variant(name);
    } else if (strcmp(command, "quit") == 0) {
        return false;
    } else if (strcmp(command, "random") == 0) {
    } else if (strcmp(command, "force") == 0) {
        engine_side = EMPTY;
    } else if (strcmp(command, "go") == 0) {
        analyzing = 0;
        engine_side = game.side;
    } else if (strcmp(command, "white") == 0 || strcmp(command, "black") == 0) {
        int side = strcmp(command, "white") == 0 ? WHITE : BLACK;
        if (set_side_to_move(side)) engine_side = 1 - side;
        else printf("Error (side to move is in check): %s\n", command);
    } else if (strcmp(command, "level") == 0) {
        level_command(line);
    } else if (strcmp(command, "st") == 0) {
        st_command(line);
    } else if (strcmp(command, "sd") == 0) {
        if (number_argument(line, command, &n)) set_time_sd(clamp(n, 1, MAX_PLY));
    } else if (strcmp(command, "time") == 0) {
        if (number_argument(line, command, &n)) {
            set_time_remaining(clamp(n, 0, MAX_CLOCK_CENTISECONDS), engine_side);
        }
    } else if (strcmp(command, "otim") == 0) {
    } else if (strcmp(command, "cores") == 0) {
        // The interface's share of the machine; the next search uses it.
        if (number_argument(line, command, &n)) set_search_threads(clamp(n, 1, MAX_THREADS));
    } else if (strcmp(command, "ping") == 0) {
        if (number_argument(line, command, &n)) printf("pong %d\n", n);
    } else if (strcmp(command, "result") == 0) {
        engine_side = EMPTY;
    } else if (strcmp(command, "?") == 0) {
        // After a move made on this very line it has done its work; otherwise: force mode.
        if (!moved_since_read) engine_side = EMPTY;
    } else if (strcmp(command, ".") == 0) {
    } else if (strcmp(command, "exit") == 0) {
        analyzing = 0;
    } else if (strcmp(command, "setboard") == 0) {
        setboard_command(line);
    } else if (strcmp(command, "edit") == 0) {
    } else if (strcmp(command, "hint") == 0) {
        hint();
    } else if (strcmp(command, "bk") == 0) {
    } else if (strcmp(command, "undo") == 0) {
        if (game.game_ply > 0) unmake_move(game);
        game.ply = 0;
        forget_root_choice();
    } else if (strcmp(command, "remove") == 0) {
        if (game.game_ply >= 2) {
            unmake_move(game);
            unmake_move(game);
        }
        game.ply = 0;
        forget_root_choice();
    } else if (strcmp(command, "hard") == 0) {
        ponder_enabled = 1;
    } else if (strcmp(command, "easy") == 0) {
        ponder_enabled = 0;
    } else if (strcmp(command, "post") == 0 || strcmp(command, "nopost") == 0) {
    } else if (strcmp(command, "analyze") == 0) {
        analyzing = 1;
        engine_side = EMPTY;
    } else if (strcmp(command, "memory") == 0) {
        if (number_argument(line, command, &n)) memory_command(n);
    } else if (strcmp(command, "option") == 0) {
        option_command(line);
    } else if (strcmp(command, "exclude") == 0 || strcmp(command, "include") == 0) {
        choose_root_moves(line, command, strcmp(command, "include") == 0);
    } else if (strcmp(command, "name") == 0 || strcmp(command, "rating") == 0 ||
               strcmp(command, "ics") == 0 || strcmp(command, "computer") == 0) {
    } else {
        const int ply_before = game.game_ply;
        parse_user_move(command);
        if (game.game_ply != ply_before) forget_root_choice();
        check_game_end();
    }
    return true;
}

}  // namespace

void xboard_loop() {
    // Entry: every line must reach the interface at once. What the console printed goes first.
    fflush(stdout);
    setvbuf(stdout, nullptr, _IONBF, 0);
    printf("feature done=0\n");
    ecache_ceiling_mb = ecache_mb;
    new_game();
    if (book_enabled) load_book_reporting("");
    load_bitbases_reporting("");

    char line[INPUT_LINE_SIZE];
    char command[INPUT_LINE_SIZE];
    for (;;) {
        // The engine's turn. Without a legal move it waits for the interface's verdict.
        if (game.side == engine_side && !analyzing) {
            if (!room_to_search()) {
                printf("tellusererror Game too long: Tolvane stops playing\n");
                engine_side = EMPTY;
            } else if (has_legal_move(game)) {
                play_engine_move();
                continue;
            }
        }
        // One pondering search on the opponent's time after each engine move.
        if (engine_side != EMPTY && ponder_enabled && ponder_pending && !analyzing) {
            if (room_to_search() && has_legal_move(game)) ponder();
            ponder_pending = 0;
            continue;
        }
        // Analysis runs until "exit"; a line that stopped it is served below, then it goes on.
        // Without a legal move it waits for a line that changes the position.
        if (analyzing && !analysis_idle && !input_pending() && room_to_search() && has_legal_move(game)) {
            analyze();
            continue;
        }

        // One line from the interface.
        if (!read_line(line, sizeof line)) return;
        read_word(line, command, sizeof command);
        if (command[0] == '\0') continue;  // a line without a word does nothing
        if (moved_since_read && is_harmless_during_thinking(command)) {
            engine_side = side_while_thinking;
        }
        bool keep_going = run_command(line, command);
        moved_since_read = 0;
        if (strcmp(command, ".") != 0) analysis_idle = 0;
        if (!keep_going) return;
    }
}
