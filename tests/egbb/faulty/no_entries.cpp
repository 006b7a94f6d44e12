// Test-only shared library that loads but offers neither bitbase entry.
extern "C" __attribute__((visibility("default"))) int not_a_bitbase_entry() { return 0; }
