// The engine shell: start-up, console, settings file, xboard driver, move text and game ends.
#pragma once

#include "board/board.h"

constexpr int SETTING_TEXT_SIZE = 256;
constexpr int INPUT_LINE_SIZE = 256;
constexpr const char* ENGINE_NAME = "Tolvane v.4.88";

// --- Settings (tolvane.ini, then the command line) ------------------------------------------
extern char ownbook[SETTING_TEXT_SIZE];
extern char mainbook[SETTING_TEXT_SIZE];
extern char tourbook[SETTING_TEXT_SIZE];
extern char path[SETTING_TEXT_SIZE];
extern char castling[SETTING_TEXT_SIZE];
extern int men;
extern int cache_size;
extern int load_type;
extern int book_enabled;

void read_config();                          // reads tolvane.ini in the working directory
void apply_options(int argc, char** argv);   // "hash N" and "ownbook WORD"

// --- Console ---------------------------------------------------------------------------------
void print_banner();
void console_loop();
void release_all();  // bitbases, book and tables, as at the end of the program

// --- XBoard driver ---------------------------------------------------------------------------
extern int engine_side;     // WHITE, BLACK or EMPTY (force mode)
extern int ponder_enabled;
extern int ponder_pending;

void xboard_loop();

// --- Move text -------------------------------------------------------------------------------
void print_move(int from, int to, int type);
void parse_user_move(const char* word);
int  move_type_from_text(int from, int to, const char* text);

// --- Game ends -------------------------------------------------------------------------------
void check_game_end(int n, const Move* list);
int  repetition_count();
int  insufficient_material();
