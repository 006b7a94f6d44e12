// Endgame bitbases: binding the bitbase library at run time and probing it.
#pragma once

constexpr int EGBB_NOT_FOUND = 99999;

extern int egbb_loaded;  // the search probes only while set

int  load_bitbases();    // 1 when the library and both entries were bound
void unload_bitbases();
int  probe_bitbases(int* score);  // 1 on a hit, score from the side to move's view
