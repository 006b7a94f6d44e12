// Start-up and the console shell: banner, command-line options, the prompt loop and the release.
#include <cstdio>
#include <cstring>

#include "book/book.h"
#include "egbb/egbb.h"
#include "platform/platform.h"
#include "search/search.h"
#include "shell/shell.h"
#include "tools/tools.h"

void print_banner() {
    printf("%s is a chess engine with xboard protocol.\n", ENGINE_NAME);
    printf("Build date: 25/01/2012\n");
    printf("Written by the Tolvane team.\n");
    printf("\n");
    printf("\"help\" displays a list of commands.\n");
    printf("\n");
}

void apply_options(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "hash") == 0 && i + 1 < argc) {
            i++;
            int n = 0;
            // A size the table cannot take keeps the configured one.
            if (!read_int(argv[i], &n) || !set_hash_mb(n)) {
                printf("Option hash %s is out of range (%d to %d Mb): keeping %d Mb.\n", argv[i],
                       1, MAX_HASH_MB, hash_mb);
            }
        }
        if (strcmp(argv[i], "ownbook") == 0 && i + 1 < argc) {
            i++;
            snprintf(ownbook, SETTING_TEXT_SIZE, "%s", argv[i]);
        }
    }
    book_enabled = strcmp(ownbook, "on") == 0 ? 1 : 0;
}

void release_all() {
    stop_all_threads();
    if (egbb_loaded) unload_bitbases();
    egbb_loaded = 0;
    if (book_loaded) free_book();
    book_loaded = 0;
    close_polyglot_book();
    free_tables();
}

void console_loop() {
    char line[INPUT_LINE_SIZE];
    char command[INPUT_LINE_SIZE];
    for (;;) {
        printf("tolvane> ");
        if (!read_line(line, sizeof line)) {
            release_all();
            return;
        }
        read_word(line, command, sizeof command);
        // A line without a word does nothing: repeating a long perft by accident would hurt.
        if (command[0] == '\0') continue;

        if (strcmp(command, "quit") == 0) {
            release_all();
            return;
        } else if (strcmp(command, "perft") == 0) {
            set_variant("normal");
            perft_command(line);
            printf("\n");
        } else if (strcmp(command, "bench") == 0) {
            bench_command(line);
            printf("\n");
        } else if (strcmp(command, "test") == 0) {
            test_command();
            printf("\n");
        } else if (strcmp(command, "xboard") == 0) {
            xboard_loop();
            release_all();
            return;
        } else if (strcmp(command, "uci") == 0) {
            // The prompt has no line end of its own: the interface's first line must not follow it.
            printf("\n");
            uci_loop();
            release_all();
            return;
        } else if (strcmp(command, "help") == 0) {
            printf("\n");
            printf("perft number - Total nodes account for a given depth from the position Start\n");
            printf("test - Test 25 positions 20 s, used to build a profile guided optimization\n");
            printf("bench [threads] - Run the built-in benchmark\n");
            printf("quit - Exit the program\n");
            printf("xboard - Switch to XBoard mode\n");
            printf("uci - Switch to UCI mode\n");
            printf("\n");
        }
    }
}
