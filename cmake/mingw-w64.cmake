# Cross-compiling for Windows with Debian's MinGW-w64 (packages g++-mingw-w64-x86-64-posix and
# g++-mingw-w64-i686-posix: the win32 variants have no std::thread). The per-processor files name
# the processor and include this one.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT CMAKE_SYSTEM_PROCESSOR)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
endif()
set(CMAKE_CXX_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-g++-posix)
# Static: each program and the bitbase library run with no MinGW runtime DLL beside them, the
# threads library included.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
