// Temporary stand-ins until the shell is written; delete each as the real one lands.
#include "shell/shell.h"

char ownbook[SETTING_TEXT_SIZE] = "on";
char mainbook[SETTING_TEXT_SIZE];
char tourbook[SETTING_TEXT_SIZE];
char path[SETTING_TEXT_SIZE] = "./egbb/";
char castling[SETTING_TEXT_SIZE] = "OO";
int men = 5, cache_size = 32, load_type = 0, book_enabled = 1;
int engine_side = EMPTY, ponder_enabled, ponder_pending;
void read_config() {}
void apply_options(int, char**) {}
void print_banner() {}
void console_loop() {}
void release_all() {}
void xboard_loop() {}
void print_move(int, int, int) {}
void parse_user_move(const char*) {}
int move_type_from_text(int, int, const char*) { return 0; }
void check_game_end(int, const Move*) {}
