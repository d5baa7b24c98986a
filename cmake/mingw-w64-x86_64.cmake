# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread model:
# the win32 one has no std::mutex or std::thread). The tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVORY_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVORY_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVORY_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVORY_MINGW_TRIPLE}-windres)

# Libraries built for Windows (googletest, later Qt) live outside the work tree; the
# caller adds their prefixes to CMAKE_PREFIX_PATH, which also roots them here.
set(CMAKE_FIND_ROOT_PATH /usr/${KELVORY_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: an exe that misses a DLL exits under Wine without a word.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Every test program runs under Wine, in a prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
