// The UCI driver's options: what an interface may set, the setting each one maps onto, and when.
#include <cstdlib>
#include <cstring>
#include <string>

#include "book/book.h"
#include "egbb/egbb.h"
#include "eval/eval.h"
#include "search/search.h"
#include "shell/shell.h"

bool uci_chess960 = false;

namespace {

constexpr int MAX_LOAD_TYPE = 3;  // the deepest probing the search knows
constexpr const char* EMPTY_TEXT = "<empty>";  // how UCI writes an empty string

enum OptionKind { SPIN, CHECK, BUTTON, STRING };
enum OptionId {
    HASH, THREADS, CLEAR_HASH, PONDER, MULTIPV, MOVE_OVERHEAD, OWN_BOOK, MAIN_BOOK, TOUR_BOOK, EVAL_CACHE,
    BITBASE_PATH, BITBASE_MEN, BITBASE_CACHE, BITBASE_LOAD_TYPE, ANALYSE_MODE, CHESS960,
    POLYGLOT_BOOK, BOOK_BEST_MOVE,
};

struct Option {
    OptionId id;
    const char* name;
    OptionKind kind;
    int min, max;  // spins only
};

const Option OPTIONS[] = {
    {HASH, "Hash", SPIN, 1, MAX_HASH_MB},
    {THREADS, "Threads", SPIN, 1, MAX_THREADS},
    {CLEAR_HASH, "Clear Hash", BUTTON, 0, 0},
    {PONDER, "Ponder", CHECK, 0, 0},
    {MULTIPV, "MultiPV", SPIN, 1, MAX_LINES},
    {MOVE_OVERHEAD, "Move Overhead", SPIN, 0, MAX_MOVE_OVERHEAD_MS},
    {OWN_BOOK, "OwnBook", CHECK, 0, 0},
    {MAIN_BOOK, "Main Book", STRING, 0, 0},
    {TOUR_BOOK, "Tournament Book", STRING, 0, 0},
    {POLYGLOT_BOOK, "Polyglot Book", STRING, 0, 0},
    {BOOK_BEST_MOVE, "Book Best Move", CHECK, 0, 0},
    {EVAL_CACHE, "Eval Cache", SPIN, 1, MAX_TABLE_MEGABYTES},
    {BITBASE_PATH, "Bitbase Path", STRING, 0, 0},
    {BITBASE_MEN, "Bitbase Men", SPIN, 0, EGBB_MAX_MEN},
    {BITBASE_CACHE, "Bitbase Cache", SPIN, 0, EGBB_MAX_CACHE_MB},
    {BITBASE_LOAD_TYPE, "Bitbase Load Type", SPIN, 0, MAX_LOAD_TYPE},
    {ANALYSE_MODE, "UCI_AnalyseMode", CHECK, 0, 0},
    {CHESS960, "UCI_Chess960", CHECK, 0, 0},
};

// What loads or allocates waits for the next isready or go, so that a row of setoption lines
// costs one load at most.
int pending_hash_mb;    // 0: no change
int pending_ecache_mb;  // 0: no change
bool book_pending;
bool bitbases_pending;
bool analyse_mode = false;

int clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

bool same_name(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; a++, b++) {
        char x = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
        char y = *b >= 'A' && *b <= 'Z' ? char(*b + 32) : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

int spin_value(OptionId id) {
    switch (id) {
        case HASH: return pending_hash_mb != 0 ? pending_hash_mb : hash_mb;
        case EVAL_CACHE: return pending_ecache_mb != 0 ? pending_ecache_mb : ecache_mb;
        case THREADS: return search_threads;
        case MULTIPV: return multipv;
        case MOVE_OVERHEAD: return move_overhead_ms;
        case BITBASE_MEN: return egbb_men;
        case BITBASE_CACHE: return egbb_cache_size;
        case BITBASE_LOAD_TYPE: return egbb_load_type;
        default: return 0;
    }
}

bool check_value(OptionId id) {
    switch (id) {
        case PONDER: return ponder_enabled != 0;
        case OWN_BOOK: return book_enabled != 0;
        case ANALYSE_MODE: return analyse_mode;
        case BOOK_BEST_MOVE: return polyglot_best_move;
        default: return uci_chess960;
    }
}

const char* string_value(OptionId id) {
    switch (id) {
        case MAIN_BOOK: return mainbook;
        case TOUR_BOOK: return tourbook;
        case POLYGLOT_BOOK: return polyglotbook;
        default: return egbb_path;
    }
}

// A copy that fits or nothing: a path cut short would name another file.
bool set_text(const Option& option, char* setting, size_t size, const char* value) {
    if (strlen(value) >= size) {
        info_string("Option %s takes at most %d characters: unchanged", option.name, int(size) - 1);
        return false;
    }
    strcpy(setting, value);
    return true;
}

// The library's folder is joined with its file name: a folder without its separator gets one.
void set_bitbase_path(const Option& option, const char* value) {
    std::string path = value;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    if (set_text(option, egbb_path, EGBB_PATH_SIZE, path.c_str())) bitbases_pending = true;
}

void set_spin(const Option& option, int n) {
    switch (option.id) {
        case HASH: pending_hash_mb = n == hash_mb ? 0 : n; break;
        case EVAL_CACHE: pending_ecache_mb = n == ecache_mb ? 0 : n; break;
        case THREADS: set_search_threads(n); break;  // the next search starts or ends helpers
        case MULTIPV: set_multipv(n); break;
        case MOVE_OVERHEAD: move_overhead_ms = n; break;
        case BITBASE_MEN: egbb_men = n; break;  // read by the search at every probe
        case BITBASE_CACHE: egbb_cache_size = n; bitbases_pending = true; break;
        case BITBASE_LOAD_TYPE: egbb_load_type = n; bitbases_pending = true; break;
        default: break;
    }
}

void set_check(const Option& option, bool on) {
    switch (option.id) {
        case PONDER: ponder_enabled = on ? 1 : 0; break;  // the interface decides when to ponder
        case OWN_BOOK: book_enabled = on ? 1 : 0; book_pending = true; break;
        case ANALYSE_MODE: analyse_mode = on; break;  // accepted; the search is the same either way
        case BOOK_BEST_MOVE: polyglot_best_move = on; break;  // read at every book step
        default: uci_chess960 = on; break;  // the next position is read by these rules
    }
}

void set_string(const Option& option, const char* value) {
    switch (option.id) {
        case MAIN_BOOK:
            if (set_text(option, mainbook, SETTING_TEXT_SIZE, value)) book_pending = true;
            break;
        case TOUR_BOOK:
            if (set_text(option, tourbook, SETTING_TEXT_SIZE, value)) book_pending = true;
            break;
        case POLYGLOT_BOOK:
            if (set_text(option, polyglotbook, SETTING_TEXT_SIZE, value)) book_pending = true;
            break;
        default: set_bitbase_path(option, value); break;
    }
}

// The whole text is one decimal number.
bool read_number(const char* text, long* value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    *value = strtol(text, &end, 10);
    return *end == '\0';
}

}  // namespace

void print_uci_options() {
    for (const Option& option : OPTIONS) {
        switch (option.kind) {
            case SPIN:
                printf("option name %s type spin default %d min %d max %d\n", option.name,
                       clamp(spin_value(option.id), option.min, option.max), option.min, option.max);
                break;
            case CHECK:
                printf("option name %s type check default %s\n", option.name,
                       check_value(option.id) ? "true" : "false");
                break;
            case BUTTON:
                printf("option name %s type button\n", option.name);
                break;
            case STRING: {
                const char* text = string_value(option.id);
                printf("option name %s type string default %s\n", option.name, *text ? text : EMPTY_TEXT);
                break;
            }
        }
    }
}

void set_uci_option(const char* name, const char* value) {
    const Option* option = nullptr;
    for (const Option& o : OPTIONS) {
        if (same_name(o.name, name)) option = &o;
    }
    if (option == nullptr) {
        info_string("No such option: %s", name);
        return;
    }
    switch (option->kind) {
        case BUTTON:
            clear_tables();
            return;
        case CHECK:
            if (value != nullptr && (same_name(value, "true") || same_name(value, "false"))) {
                set_check(*option, same_name(value, "true"));
            } else {
                info_string("Option %s needs true or false: unchanged", option->name);
            }
            return;
        case SPIN: {
            long n = 0;
            if (read_number(value, &n) && n >= option->min && n <= option->max) {
                set_spin(*option, static_cast<int>(n));
            } else {
                info_string("Option %s needs a number from %d to %d: unchanged", option->name,
                            option->min, option->max);
            }
            return;
        }
        case STRING:
            set_string(*option, value == nullptr || strcmp(value, EMPTY_TEXT) == 0 ? "" : value);
            return;
    }
}

void apply_pending_options() {
    if (pending_hash_mb != 0 && !resize_hash_table(pending_hash_mb)) {
        info_string("No memory for a hash table of %d MB: keeping %d MB", pending_hash_mb, hash_mb);
    }
    pending_hash_mb = 0;
    if (pending_ecache_mb != 0) {
        const int old = ecache_mb;
        set_ecache_mb(pending_ecache_mb);
        // Without memory for the new size, the old one again; without even that, no cache:
        // the evaluation is then made in full every time.
        if (!resize_eval_caches()) {
            info_string("No memory for an evaluation cache of %d MB: keeping %d MB", ecache_mb, old);
            set_ecache_mb(old);
            resize_eval_caches();
        }
        pending_ecache_mb = 0;
    }
    if (book_pending) {
        if (book_enabled) {
            load_book_reporting("info string ");
        } else {
            free_book();
            book_loaded = 0;
            close_polyglot_book();
        }
        book_pending = false;
    }
    if (bitbases_pending) {
        load_bitbases_reporting("info string ");
        bitbases_pending = false;
    }
}
