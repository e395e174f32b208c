# 32-bit Windows build, the release. This machine cannot execute 32-bit code,
# so there is no emulator: the build proves that everything compiles and links
# cleanly for x86.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PACKROOK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
