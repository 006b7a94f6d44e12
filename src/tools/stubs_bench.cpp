// Temporary stand-ins until bench and test are written; delete each as the real one lands.
#include "tools/tools.h"

void bench_command() {}
void test_command() {}
