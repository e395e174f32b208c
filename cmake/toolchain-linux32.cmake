# 32-bit Linux build of the engine, its tests and packrook-cli: the same
# 32-bit code paths as the Windows release, run here through qemu-i386.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
# Debian's multiarch folder for i386 libraries, beside /usr/lib32 (lib32z1-dev).
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

get_filename_component(_packrook_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_packrook_root}/scripts/qemu32-run.sh")
unset(_packrook_root)
