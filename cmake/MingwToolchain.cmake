# Shared by both Windows toolchains: the Debian mingw-w64 cross compilers for
# PACKROOK_MINGW_TRIPLE, in their -posix flavour (it carries std::thread).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${PACKROOK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PACKROOK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PACKROOK_MINGW_TRIPLE}-windres)

# Only the cross sysroot is searched for libraries and headers, so the host's
# zlib can never leak into a Windows link; programs still come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${PACKROOK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
