# Cross build for 32-bit Windows with Debian's MinGW-w64 i686 compilers (posix
# thread model); everything else as for 64-bit.
set(LUMET_MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
