# 32-bit Windows build with the Debian mingw-w64 cross compilers. This machine
# cannot execute 32-bit code, so there is no emulator: the build only proves
# that everything compiles and links cleanly for x86.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(PACKROOK_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER   ${PACKROOK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PACKROOK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PACKROOK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PACKROOK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
