# Cross-compiles the Windows console program for x86_64 with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix: the posix thread variant, which GoogleTest needs). Tests run
# under wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SLATE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
