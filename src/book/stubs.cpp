// Temporary stand-ins until the book is written; delete each as the real one lands.
#include "book/book.h"

int book_loaded, book_misses;
int load_book() { return BOOK_NO_RANDOM; }
void free_book() {}
bool book_step(Move*) { return false; }
