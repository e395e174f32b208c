# 64-bit Windows build with the Debian mingw-w64 cross compilers.
# The -posix flavour is used because it carries std::thread/std::mutex support.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PACKROOK_MINGW_TRIPLE x86_64-w64-mingw32)

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

# Test programs are started through wine so that plain ctest works here.
# CMAKE_SOURCE_DIR is not yet known while the toolchain file is first read,
# so the script is located relative to this file instead.
get_filename_component(_packrook_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_packrook_root}/scripts/wine-run.sh")
unset(_packrook_root)
