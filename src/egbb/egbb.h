// Endgame bitbases: binding the bitbase library at run time and probing it.
#pragma once

#include "board/board.h"

constexpr int EGBB_NOT_FOUND = 99999;
constexpr int EGBB_SCORE_LIMIT = 32000;  // a library's scores lie strictly within plus or minus this
constexpr int EGBB_PATH_SIZE = 256;

// Settings (tolvane.ini keys path, men, cache_size, load_type).
extern char egbb_path[EGBB_PATH_SIZE];  // the library's folder, ending in a separator
extern int egbb_men;                    // the search probes positions with at most this many men
extern int egbb_cache_size;             // megabytes handed to the library
extern int egbb_load_type;              // how deep the search probes, 0..3

extern int egbb_loaded;  // the search probes only while set
// Put before each line the binding prints: "" in xboard mode, "info string " in UCI.
extern const char* egbb_message_prefix;

// 1 when the library and both entries were bound; 0 when not, with a line naming a library file
// that is there but unusable (a missing one is left to the caller).
int  load_bitbases();
void unload_bitbases();
int  probe_bitbases(const Position& pos, int* score);  // 1 on a hit, score from the side to move's view

// --- The library's entries and how they are called -------------------------------------------
using EgbbLoadFunction = void (*)(const char* path, int cache_size, int load_type);
using EgbbProbeFunction = int (*)(int player, int white_king, int black_king, int piece1,
                                  int square1, int piece2, int square2, int piece3, int square3);

extern EgbbProbeFunction EgbbProbe;  // the bound probe entry; null while not loaded

constexpr int EGBB_MAX_MEN = 5;             // kings included: the probe has three pairs
constexpr int EGBB_FILE_NAME_SIZE = 260;    // room for the joined file name and its end
constexpr int EGBB_MAX_CACHE_MB = 2047;     // the largest size whose bytes fit the int argument
constexpr int EGBB_PROBE_ARGUMENTS = 9;

int egbb_cache_bytes(int megabytes);                     // megabytes to bytes, capped to fit
bool egbb_probe_arguments(const Position& pos, int args[EGBB_PROBE_ARGUMENTS]);  // pos coded for the probe;
                                                            // false beyond EGBB_MAX_MEN men
