# The 32-bit Windows build.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# Large address aware: on 64-bit Windows the engine gets 4 GB of address space instead of 2, so
# a hash table of more than about 512 MB still finds room.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
