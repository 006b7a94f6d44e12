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
}

void load_bitbases_reporting(const char* prefix) {
    // A library already bound would be kept as it is: settings that changed need a fresh load.
    unload_bitbases();
    egbb_message_prefix = prefix;
    egbb_loaded = load_bitbases();
    if (!egbb_loaded) printf("%sEgbbProbe not Loaded!\n", prefix);
}
