# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# which std::thread and std::mutex need). mingw-w64-i686.cmake sets the
# target first for 32-bit Windows.
if(NOT LUMET_MINGW_TARGET)
  set(LUMET_MINGW_TARGET x86_64-w64-mingw32)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LUMET_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMET_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMET_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LUMET_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# No DLL beside Windows' own: libgcc, libstdc++ and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
