// Rebel-format opening books: loading the files and choosing book moves.
#pragma once

#include <cstdint>

#include "board/board.h"

enum BookStatus { BOOK_OK = 0, BOOK_NO_TOURBOOK = 1, BOOK_NO_RANDOM = 2, BOOK_NO_MAINBOOK = 3, BOOK_ERROR = 4 };

extern int book_loaded;  // the book was loaded when xboard mode began
extern int book_misses;  // consecutive book steps without a candidate

int  load_book();  // a BookStatus
void free_book();
bool book_step(Move* move);  // the root search's book step; true with a move to play
