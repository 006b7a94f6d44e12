// The settings file tolvane.ini: the shell's own settings and the echo of every key.
#include <cstdio>
#include <cstring>

#include "book/book.h"
#include "egbb/egbb.h"
#include "eval/eval.h"
#include "search/search.h"
#include "shell/shell.h"

char ownbook[SETTING_TEXT_SIZE] = "on";
char mainbook[SETTING_TEXT_SIZE];
char tourbook[SETTING_TEXT_SIZE];
char polyglotbook[SETTING_TEXT_SIZE];
char castling[SETTING_TEXT_SIZE] = "OO";
int book_enabled = 1;

namespace {

constexpr const char* CONFIG_FILE = "tolvane.ini";

void copy_setting(char* setting, const char* value, int size = SETTING_TEXT_SIZE) {
    snprintf(setting, size, "%s", value);
}

// The file's value word for a numeric key; a line without a number is reported and skipped.
bool number_value(const char* key, const char* value, int* number) {
    if (read_int(value, number)) return true;
    printf("Setting %s needs a number: line ignored.\n", key);
    return false;
}

// One line of the file: the key, then its value; anything after the value is ignored.
void read_setting(const char* line) {
    char key[SETTING_TEXT_SIZE];
    char value[SETTING_TEXT_SIZE];
    const char* rest = read_word(line, key, sizeof key);
    read_word(rest, value, sizeof value);
    if (key[0] == '\0') return;

    static const char* const known[] = {"ownbook", "mainbook", "tourbook", "hash", "ecache", "threads",
                                        "path", "men", "cache_size", "load_type", "castling",
                                        "polyglotbook", "bookbestmove", "multipv", "moveoverhead"};
    bool is_known = false;
    for (const char* k : known) is_known = is_known || strcmp(key, k) == 0;
    if (!is_known) return;
    // A key alone would otherwise store whatever was lying around: keep the setting as it is.
    if (value[0] == '\0') {
        printf("Setting %s has no value: line ignored.\n", key);
        return;
    }

    int n = 0;
    if (strcmp(key, "ownbook") == 0) {
        printf("ownbook %s\n", value);
        copy_setting(ownbook, value);
    } else if (strcmp(key, "mainbook") == 0) {
        printf("mainbook: %s\n", value);
        copy_setting(mainbook, value);
    } else if (strcmp(key, "tourbook") == 0) {
        printf("tourbook: %s\n", value);
        copy_setting(tourbook, value);
    } else if (strcmp(key, "polyglotbook") == 0) {
        printf("polyglotbook: %s\n", value);
        copy_setting(polyglotbook, value);
    } else if (strcmp(key, "bookbestmove") == 0) {
        printf("bookbestmove %s\n", value);
        polyglot_best_move = strcmp(value, "on") == 0;
    } else if (strcmp(key, "hash") == 0) {
        if (!number_value(key, value, &n)) return;
        if (!set_hash_mb(n)) {
            printf("Table hash size %d Mb is out of range (%d to %d): keeping %d Mb.\n", n,
                   1, MAX_HASH_MB, hash_mb);
            return;
        }
        printf("Table hash size %d Mb.\n", n);
    } else if (strcmp(key, "ecache") == 0) {
        if (!number_value(key, value, &n)) return;
        if (!set_ecache_mb(n)) {
            printf("Eval cache size %d Mb is out of range (%d to %d): keeping %d Mb.\n", n,
                   1, MAX_TABLE_MEGABYTES, ecache_mb);
            return;
        }
        printf("Eval cache size %d Mb.\n", n);
    } else if (strcmp(key, "threads") == 0) {
        if (!number_value(key, value, &n)) return;
        if (!set_search_threads(n)) {
            printf("Search threads %d is out of range (%d to %d): keeping %d.\n", n, 1, MAX_THREADS, search_threads);
            return;
        }
        printf("Search threads: %d\n", n);
    } else if (strcmp(key, "multipv") == 0) {
        if (!number_value(key, value, &n)) return;
        if (!set_multipv(n)) {
            printf("MultiPV %d is out of range (%d to %d): keeping %d.\n", n, 1, MAX_LINES, multipv);
            return;
        }
        printf("MultiPV: %d\n", n);
    } else if (strcmp(key, "moveoverhead") == 0) {
        if (!number_value(key, value, &n)) return;
        if (n < 0 || n > MAX_MOVE_OVERHEAD_MS) {
            printf("Move overhead %d ms is out of range (%d to %d): keeping %d ms.\n", n, 0,
                   MAX_MOVE_OVERHEAD_MS, move_overhead_ms);
            return;
        }
        move_overhead_ms = n;
        printf("Move overhead: %d ms\n", n);
    } else if (strcmp(key, "path") == 0) {
        printf("Bitbases path: %s\n", value);
        copy_setting(egbb_path, value, EGBB_PATH_SIZE);
    } else if (strcmp(key, "men") == 0) {
        if (!number_value(key, value, &n)) return;
        printf("Bitbases men: %d\n", n);
        egbb_men = n;
    } else if (strcmp(key, "cache_size") == 0) {
        if (!number_value(key, value, &n)) return;
        printf("Bitbases cache size: %d\n", n);
        egbb_cache_size = n;
    } else if (strcmp(key, "load_type") == 0) {
        if (!number_value(key, value, &n)) return;
        printf("Bitbases load type: %d\n", n);
        egbb_load_type = n;
    } else {
        printf("Chess960 (FRC)- Castling %s\n", value);
        copy_setting(castling, value);
    }
}

}  // namespace

void read_config() {
    set_hash_mb(DEFAULT_HASH_MB);
    set_ecache_mb(DEFAULT_ECACHE_MB);
    set_search_threads(1);

    FILE* file = fopen(CONFIG_FILE, "r");
    if (file == nullptr) {
        printf("Ini file %s no found.\n", CONFIG_FILE);
        printf("Ownbook: %s\n", ownbook);
        printf("Table hash size: %d Mb.\n", DEFAULT_HASH_MB);
        printf("Eval cache size: %d Mb.\n", DEFAULT_ECACHE_MB);
        printf("Search threads: %d\n", search_threads);
        printf("Bitbases path: %s\n", egbb_path);
        printf("Bitbases men: %d\n", egbb_men);
        printf("Bitbases cache size: %d\n", egbb_cache_size);
        printf("Bitbases load type: %d\n", egbb_load_type);
        printf("Chess960 (FRC) - Castling: %s\n", castling);
        return;
    }
    printf("Ini file %s found.\n", CONFIG_FILE);

    char line[INPUT_LINE_SIZE];
    while (fgets(line, sizeof line, file) != nullptr) {
        size_t length = strlen(line);
        // A longer line is cut: its tail must not be read as a line of its own.
        if (length > 0 && line[length - 1] != '\n' && !feof(file)) {
            int c;
            do c = fgetc(file);
            while (c != '\n' && c != EOF);
        }
        if (line[0] == '#') continue;
        read_setting(line);
    }
    fclose(file);
}
