// The book and the bitbase library as the protocol drivers load them, each with its message.
#include <cstdio>

#include "book/book.h"
#include "egbb/egbb.h"
#include "shell/shell.h"

void load_book_reporting(const char* prefix) {
    const char* message;
    switch (load_book(mainbook, tourbook)) {
        case BOOK_OK:
            message = "Rebel book loaded!";
            book_loaded = 1;
            break;
        case BOOK_NO_TOURBOOK:
            message = "Rebel book loaded but tourbook is missed, using only mainbook";
            book_loaded = 1;
            break;
        case BOOK_NO_RANDOM:
            message = "Missing obliged file(s)random1.bin and/or random2.bin. Rebel book not loaded!";
            book_loaded = 0;
            break;
        case BOOK_NO_MAINBOOK:
            message = "Missing obliged file mainbook. Rebel book not loaded!";
            book_loaded = 0;
            break;
        default:
            message = "Error loading Rebel book!";
            book_loaded = 0;
            break;
    }
    printf("%s%s\n", prefix, message);
    load_polyglot_reporting(prefix);
}

void load_polyglot_reporting(const char* prefix) {
    close_polyglot_book();
    polyglot_message_prefix = prefix;
    if (polyglotbook[0] == '\0') return;
    const PolyglotOpening opening = open_polyglot_book(polyglotbook);
    const char* name = polyglotbook;
    switch (opening.status) {
        case POLYGLOT_OK:
            printf("%sPolyglot book %s loaded: %ld entries\n", prefix, name, opening.entries);
            break;
        case POLYGLOT_EMPTY:
            printf("%sPolyglot book %s is empty: not loaded\n", prefix, name);
            break;
        case POLYGLOT_BAD_SIZE:
            printf("%sPolyglot book %s has %ld bytes, not a whole number of %d-byte entries: not loaded\n", prefix,
                   name, opening.size, POLYGLOT_ENTRY_BYTES);
            break;
        case POLYGLOT_TRUNCATED:
            printf("%sPolyglot book %s ends inside entry %ld: not loaded\n", prefix, name, opening.bad_entry);
            break;
        case POLYGLOT_UNSORTED:
            printf("%sPolyglot book %s is not sorted by key (entry %ld): not loaded\n", prefix, name,
                   opening.bad_entry);
            break;
        default:
            printf("%sPolyglot book %s cannot be read: not loaded\n", prefix, name);
            break;
    }
}

void load_bitbases_reporting(const char* prefix) {
    // A library already bound would be kept as it is: settings that changed need a fresh load.
    unload_bitbases();
    egbb_message_prefix = prefix;
    egbb_loaded = load_bitbases();
    if (!egbb_loaded) printf("%sEgbbProbe not Loaded!\n", prefix);
}
