# Cross-compiles the Windows console program for i686 with Debian's mingw-w64 (package
# g++-mingw-w64-i686-posix: the posix thread variant, which GoogleTest needs). Tests run
# under wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SLATE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
