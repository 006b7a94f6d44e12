// The engine shell: start-up, console, settings file, xboard driver, move text and game ends.
#pragma once

#include "board/board.h"
#include "search/search.h"

constexpr int SETTING_TEXT_SIZE = 256;
constexpr int INPUT_LINE_SIZE = 256;
constexpr const char* ENGINE_NAME = "Tolvane v.4.88";

// --- Settings (tolvane.ini, then the command line) ------------------------------------------
// The shell's own; the table sizes belong to the tables (hash_mb, ecache_mb) and the bitbase
// settings to the bitbases (egbb_path, egbb_men, egbb_cache_size, egbb_load_type).
extern char ownbook[SETTING_TEXT_SIZE];
extern char mainbook[SETTING_TEXT_SIZE];  // the files the xboard driver hands to load_book
extern char tourbook[SETTING_TEXT_SIZE];
extern char polyglotbook[SETTING_TEXT_SIZE];  // the Polyglot book, asked after the Rebel one; empty: none
extern char castling[SETTING_TEXT_SIZE];  // echoed only: setup reads both notations
extern int book_enabled;

void read_config();                          // reads tolvane.ini in the working directory
void apply_options(int argc, char** argv);   // "hash N" and "ownbook WORD"

// --- Text helpers shared by the console, the settings file and the protocol (text.cpp) --------
// Copies the next blank-delimited word of text into word (cut to size - 1 characters, the rest
// of a longer word skipped) and returns where reading stops; word is empty when none is left.
const char* read_word(const char* text, char* word, int size);
bool read_int(const char* word, int* value);  // the leading decimal number, as %d reads it, clamped

// --- Console ---------------------------------------------------------------------------------
void print_banner();
void console_loop();
void release_all();  // bitbases, book and tables, as at the end of the program

// --- Book and bitbases for the drivers (services.cpp) -----------------------------------------
// Each prints its one-line message after prefix ("" in xboard mode, "info string " in UCI).
void load_book_reporting(const char* prefix);      // mainbook and tourbook, then polyglotbook; sets book_loaded
void load_polyglot_reporting(const char* prefix);  // polyglotbook, if one is named
void load_bitbases_reporting(const char* prefix);  // a fresh load with the current settings

// --- XBoard driver ---------------------------------------------------------------------------
extern int engine_side;     // WHITE, BLACK or EMPTY (force mode)
extern int ponder_enabled;
extern int ponder_pending;

// Ply from which no more moves are played: every search needs MAX_PLY history entries free.
constexpr int GAME_PLY_LIMIT = MAX_GAME_PLY - MAX_PLY - 2;

void xboard_loop();

// --- UCI driver ------------------------------------------------------------------------------
// Long enough for a position line holding every move a game may have.
constexpr int UCI_LINE_SIZE = 32768;
static_assert(UCI_LINE_SIZE > 6 * GAME_PLY_LIMIT + 256, "a whole game's moves fit in a line");

void uci_loop();                     // the console's "uci": entry, the answer, then every line
void uci_begin();                    // entry: output unbuffered, start position, book, bitbases
bool uci_command(const char* line);  // serves one line; false once the interface said "quit"
                                     // (or went away during a search)
// Options (uci_options.cpp).
void print_uci_options();                          // the "option" lines, current values as defaults
void set_uci_option(const char* name, const char* value);  // value null when none was given
void apply_pending_options();  // table sizes, book and bitbases changed since: at isready and go
extern bool uci_chess960;      // UCI_Chess960: positions are read and moves written for Chess960
// Lines (uci_info.cpp). The text of an "info string" is cut to keep one short line.
void info_string(const char* format, ...);
void print_search_info(const SearchThread& t, int score);  // a new best root move: depth, score, time, nodes and the line
void print_search_lines(const SearchThread& t);  // a multi-line depth: each line with its multipv number
void print_current_move(const SearchThread& t, Move move, int number);  // currmove, now and then in a long search
void print_bound(const SearchThread& t, int score, bool lower);  // a root fail high or low, now and then
void print_search_progress();       // depth, time, nodes, speed and table use, without a line
void print_book_info(Move move);
extern int64_t go_start_ms;         // when the interface said "go": the clock of the info lines

// --- Thinking lines (thinking.cpp): the search's default output, the xboard format ------------
void print_thinking(const SearchThread& t, int score);  // depth, score, time, nodes and the line
void print_lines(const SearchThread& t);                // that line for each line of a multi-line depth
void print_book_move(Move move);                        // "0 0 0 0 Book move"

// --- Move lines ------------------------------------------------------------------------------
void print_move(Move m);                 // "move e2e4 "
void parse_user_move(const char* word);  // plays the interface's move, or says why not
// The legal move a coordinate word names in the game position (NO_MOVE when illegal); false
// when the word is no move text at all.
bool read_user_move(const char* word, Move* move);

// --- Game ends -------------------------------------------------------------------------------
void check_game_end();  // the result line after a move, when the game has ended
int  insufficient_material();
