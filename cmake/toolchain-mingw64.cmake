# 64-bit Windows build; its test programs run under wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PACKROOK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

# Test programs are started through wine so that plain ctest works here.
# CMAKE_SOURCE_DIR is not yet known while the toolchain file is first read,
# so the script is located relative to this file instead.
get_filename_component(_packrook_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_packrook_root}/scripts/wine-run.sh")
unset(_packrook_root)
