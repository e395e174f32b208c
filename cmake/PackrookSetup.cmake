# Packrook-setup-64bit.exe or Packrook-setup-32bit.exe, the program users
# download (the name says which Windows it is for): a self-extracting program
# made by Packrook's own conversion and this build's Sledstub.dll. It installs
# the product into "Program Files\Packrook" and starts the manager, whose
# first start completes the installation.
#
# The conversion runs on the build machine, so the engine is also built
# natively as a host tool (packrook-cli, from this same source tree) in a
# build folder of its own; no wine is needed to make the program.
#
# Included from the top-level CMakeLists.txt of a Windows build, once the
# Packrook, Quaylink and Sledstub targets and the help pages exist.

include_guard(GLOBAL)
include(ExternalProject)

set(host_dir ${CMAKE_BINARY_DIR}/host)
set(host_cli ${host_dir}/bin/packrook-cli)
if(CMAKE_GENERATOR MATCHES "Makefiles")
  # Recursive make shares the outer build's job slots.
  set(host_build $(MAKE) packrook-cli)
else()
  set(host_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target packrook-cli)
endif()
ExternalProject_Add(packrook_host_cli
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_dir}
  CMAKE_ARGS
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_C_COMPILER=gcc
    -DCMAKE_CXX_COMPILER=g++
    -DPACKROOK_WERROR=${PACKROOK_WERROR}
  BUILD_COMMAND ${host_build}
  # The host build is incremental: running it every time picks up changes
  # to the engine without listing its sources here.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${host_cli}
  INSTALL_COMMAND "")

# What the setup installs is release code without debug information,
# whatever build type the preset gives its own programs: stripped copies of
# the build's programs, each naming its symbols, which stay beside the build
# in symbols/ to read a user's crash report with. The conversion copies
# Sledstub.dll from beside the running program, so the host tool runs from
# the folder of the stripped copies, where it finds the Windows stub, not the
# native stand-in its own build makes.
set(setup_work ${CMAKE_BINARY_DIR}/setup)
set(symbols_dir ${CMAKE_BINARY_DIR}/symbols)
set(setup_exe ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${PACKROOK_SETUP_NAME})
set(setup_archive ${setup_work}/Packrook.zip)
set(setup_contents)
set(gather_commands)
foreach(target IN ITEMS Packrook Quaylink Sledstub)
  set(built $<TARGET_FILE:${target}>)
  set(symbols ${symbols_dir}/$<TARGET_FILE_NAME:${target}>.debug)
  set(shipped ${setup_work}/$<TARGET_FILE_NAME:${target}>)
  # The exports of a DLL live in a section of their own, which stripping keeps.
  list(APPEND gather_commands
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${built} ${symbols}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${symbols} ${built} ${shipped})
  list(APPEND setup_contents ${shipped})
endforeach()
get_property(help_files GLOBAL PROPERTY PACKROOK_HELP_FILES)
foreach(page IN LISTS help_files)
  get_filename_component(name ${page} NAME)
  list(APPEND setup_contents ${setup_work}/${name})
  list(APPEND gather_commands COMMAND ${CMAKE_COMMAND} -E copy ${page} ${setup_work})
endforeach()
add_custom_command(OUTPUT ${setup_exe}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${setup_work} ${symbols_dir}
  ${gather_commands}
  COMMAND ${CMAKE_COMMAND} -E copy ${host_cli} ${setup_work}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${setup_archive}
  COMMAND ${setup_work}/packrook-cli add ${setup_archive} ${setup_contents}
  COMMAND ${setup_work}/packrook-cli sfx ${setup_archive} ${setup_exe}
          --install-dir "$$PROGRAMFILES$$\\Packrook" --run Packrook.exe
  DEPENDS packrook_host_cli ${host_cli} Packrook Quaylink Sledstub ${help_files}
  COMMENT "Making ${PACKROOK_SETUP_NAME}"
  VERBATIM)
add_custom_target(packrook_setup ALL DEPENDS ${setup_exe})
add_dependencies(packrook_setup packrook_help)
