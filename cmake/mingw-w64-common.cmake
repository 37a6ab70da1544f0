# What both mingw-w64 toolchains share; each sets CMAKE_SYSTEM_PROCESSOR and SLATE_MINGW_TRIPLE
# first. Everything is linked statically, so the .exe needs no DLL beyond the system's.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${SLATE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SLATE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SLATE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SLATE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs each test through wine. Start wine's services first, away from ctest's output,
# or ctest waits for them: wineserver -p; wine cmd /c exit >/dev/null.
find_program(SLATE_WINE NAMES wine)
if(SLATE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SLATE_WINE})
endif()
