// Temporary stand-ins until the bitbase binding is written; delete each as the real one lands.
#include "egbb/egbb.h"

int egbb_loaded;
int load_bitbases() { return 0; }
void unload_bitbases() {}
int probe_bitbases(int*) { return 0; }
