// Tolvane: start-up in order, then the console.
#include "board/board.h"
#include "search/search.h"
#include "shell/shell.h"

int main(int argc, char** argv) {
    print_banner();
    read_config();
    apply_options(argc, argv);
    alloc_tables();
    init_hash_keys();
    console_loop();
    return 0;
}
