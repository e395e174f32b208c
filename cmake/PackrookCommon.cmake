# Shared build settings for every Packrook target: compiler defaults, the test
# framework, zlib and the test registration helper.
#
# Included once from the top-level CMakeLists.txt after project().

include_guard(GLOBAL)

option(PACKROOK_SANITIZE "Build with AddressSanitizer and UBSan (native builds only)" OFF)
option(PACKROOK_FUZZ "Build the libFuzzer target packrook-fuzz (clang only)" OFF)
option(PACKROOK_WERROR "Turn compiler and linker warnings into errors" OFF)
option(PACKROOK_GTEST_FROM_SOURCE
  "Build GoogleTest from /usr/src/googletest even where an installed copy exists" OFF)
set(PACKROOK_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH
  "GoogleTest sources, used for cross builds and when no installed copy is found")
set(PACKROOK_TEST_TIMEOUT 300 CACHE STRING
  "Default ctest timeout in seconds for one test program")

if(PACKROOK_SANITIZE AND (CMAKE_CROSSCOMPILING OR WIN32))
  message(FATAL_ERROR "PACKROOK_SANITIZE needs a native build: mingw has no ASan/UBSan runtime")
endif()

# Tests can only be registered where they can also be started: natively, or
# through an emulator (wine for win64). The win32 build has neither, so its
# test programs are compiled and linked but never handed to ctest.
if(NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR)
  set(PACKROOK_CAN_RUN_TESTS ON)
else()
  set(PACKROOK_CAN_RUN_TESTS OFF)
endif()

# One C++ dialect for everything, GoogleTest included, so no ODR surprises
# between objects built by different targets.
if(NOT DEFINED CMAKE_CXX_STANDARD)
  set(CMAKE_CXX_STANDARD 17)
endif()
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

if(MINGW)
  # Every program and DLL must start on a bare Windows (or wine) with no
  # libstdc++/libgcc/winpthread DLLs next to it. Set for the whole tree so a
  # target that forgets packrook_target_defaults still links stand-alone.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

set(_packrook_sanitize_flags -fsanitize=address,undefined -fno-omit-frame-pointer
  -fno-sanitize-recover=all)
if(PACKROOK_SANITIZE)
  # Also at directory level: an instrumented static library linked into a
  # program that did not ask for the flags would otherwise fail to link.
  add_link_options(-fsanitize=address,undefined)
endif()

if(PACKROOK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "PACKROOK_FUZZ needs clang: libFuzzer comes with it")
  endif()
  # Coverage feedback from all the code under test; only packrook-fuzz links
  # libFuzzer's own main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# packrook_target_defaults(<target>)
#   C++17, warnings, static runtime on mingw, sanitizers when requested.
function(packrook_target_defaults target)
  set_target_properties(${target} PROPERTIES
    CXX_STANDARD 17
    CXX_STANDARD_REQUIRED ON
    CXX_EXTENSIONS OFF)

  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # Restricted to C/C++ so that windres never sees these flags on .rc files.
    target_compile_options(${target} PRIVATE
      $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra>)
    if(PACKROOK_WERROR)
      target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
      target_link_options(${target} PRIVATE -Wl,--fatal-warnings)
    endif()
  endif()

  if(MINGW)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()

  if(PACKROOK_SANITIZE)
    target_compile_options(${target} PRIVATE
      $<$<COMPILE_LANGUAGE:C,CXX>:${_packrook_sanitize_flags}>)
    target_link_options(${target} PRIVATE ${_packrook_sanitize_flags})
  endif()
endfunction()

# --- zlib -------------------------------------------------------------------
# The mingw sysroot ships both libz.a and the import library libz.dll.a; the
# static one is wanted so no zlib1.dll has to travel with the programs.
if(MINGW)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

# --- crypto -------------------------------------------------------------------
# AES archives need PBKDF2, AES and HMAC-SHA1. Windows has them in its own
# bcrypt.dll; elsewhere libgcrypt does them, linked statically so that no
# program depends on the machine's copy. The 32-bit Linux build takes the
# i386 libraries that scripts/install-deps.sh unpacks beside the native ones.
if(WIN32)
  add_library(Packrook::Crypto INTERFACE IMPORTED)
  set_target_properties(Packrook::Crypto PROPERTIES INTERFACE_LINK_LIBRARIES bcrypt)
else()
  set(PACKROOK_I386_ROOT /opt/packrook/i386 CACHE PATH
    "Where scripts/install-deps.sh unpacks the i386 libgcrypt for the linux32 build")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_crypto_hints
      HINTS ${PACKROOK_I386_ROOT}/usr/lib/i386-linux-gnu NO_DEFAULT_PATH)
    set(_crypto_include_hints
      HINTS ${PACKROOK_I386_ROOT}/usr/include NO_DEFAULT_PATH)
    set(_gpg_error_include_hints
      HINTS ${PACKROOK_I386_ROOT}/usr/include/i386-linux-gnu NO_DEFAULT_PATH)
  endif()
  find_library(PACKROOK_GCRYPT_LIBRARY libgcrypt.a ${_crypto_hints})
  find_library(PACKROOK_GPG_ERROR_LIBRARY libgpg-error.a ${_crypto_hints})
  find_path(PACKROOK_GCRYPT_INCLUDE gcrypt.h ${_crypto_include_hints})
  find_path(PACKROOK_GPG_ERROR_INCLUDE gpg-error.h ${_gpg_error_include_hints})
  if(NOT PACKROOK_GCRYPT_LIBRARY OR NOT PACKROOK_GPG_ERROR_LIBRARY
     OR NOT PACKROOK_GCRYPT_INCLUDE OR NOT PACKROOK_GPG_ERROR_INCLUDE)
    message(FATAL_ERROR "libgcrypt not found; run scripts/install-deps.sh")
  endif()
  add_library(Packrook::Crypto INTERFACE IMPORTED)
  set_target_properties(Packrook::Crypto PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${PACKROOK_GCRYPT_INCLUDE};${PACKROOK_GPG_ERROR_INCLUDE}"
    INTERFACE_LINK_LIBRARIES "${PACKROOK_GCRYPT_LIBRARY};${PACKROOK_GPG_ERROR_LIBRARY}")
endif()

# --- GoogleTest ---------------------------------------------------------------
# Provides GTest::gtest, GTest::gtest_main, GTest::gmock and GTest::gmock_main.
if(NOT CMAKE_CROSSCOMPILING AND NOT PACKROOK_GTEST_FROM_SOURCE)
  find_package(GTest CONFIG QUIET)
endif()

if(NOT TARGET GTest::gtest_main)
  if(NOT EXISTS "${PACKROOK_GTEST_SOURCE_DIR}/CMakeLists.txt")
    message(FATAL_ERROR
      "GoogleTest sources not found in ${PACKROOK_GTEST_SOURCE_DIR}; "
      "run scripts/install-deps.sh (Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # Only matters for MSVC, where GoogleTest would otherwise pick a different
  # C runtime than the code under test.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  if(WIN32)
    # GoogleTest has native Win32 threading; without this it would also pull
    # in winpthread under the -posix mingw compilers.
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  endif()
  # SYSTEM: warnings inside GoogleTest headers must not trip -Werror in ours.
  add_subdirectory("${PACKROOK_GTEST_SOURCE_DIR}"
    "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
  foreach(_lib IN ITEMS gtest gtest_main gmock gmock_main)
    if(TARGET ${_lib} AND NOT TARGET GTest::${_lib})
      add_library(GTest::${_lib} ALIAS ${_lib})
    endif()
  endforeach()
  set(PACKROOK_GTEST_ORIGIN "sources in ${PACKROOK_GTEST_SOURCE_DIR}")
else()
  set(PACKROOK_GTEST_ORIGIN "installed package")
endif()
message(STATUS "Packrook: GoogleTest from ${PACKROOK_GTEST_ORIGIN}; "
  "tests registered with ctest: ${PACKROOK_CAN_RUN_TESTS}")

# --- Test helpers -------------------------------------------------------------

# packrook_native_test_path(<out-var> <absolute-host-path>)
#   Spells a host path the way the test program will see it. Under wine the
#   program gets "Z:/some/host/path": wine's default prefix maps Z: to the
#   host's /, and CreateFileA, the C runtime and std::filesystem all accept
#   forward slashes. A bare "/some/host/path" also opens under wine, but only
#   because the current drive happens to be Z:; it breaks as soon as a test
#   changes directory to another drive, so the drive letter is spelled out.
function(packrook_native_test_path out path)
  if(CMAKE_CROSSCOMPILING AND WIN32 AND CMAKE_HOST_UNIX)
    set(${out} "Z:${path}" PARENT_SCOPE)
  else()
    set(${out} "${path}" PARENT_SCOPE)
  endif()
endfunction()

# packrook_set_test_environment(<test-name> [SCRATCH <dir>])
#   Gives a registered test the environment every Packrook test can rely on:
#     PACKROOK_TESTDATA  read-only sample files (<source>/tests/testdata)
#     PACKROOK_SCRATCH   a folder under the build tree the test may write to;
#                        it is created at configure time and not wiped between
#                        runs, so tests make their own unique subfolders.
#   Also pins the wine prefix of a cross build to this build tree. Use it for
#   tests registered by hand with add_test(); packrook_add_gtest calls it.
function(packrook_set_test_environment test)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SCRATCH" "")
  if(NOT arg_SCRATCH)
    set(arg_SCRATCH "${CMAKE_BINARY_DIR}/test-scratch/${test}")
  endif()
  file(MAKE_DIRECTORY "${arg_SCRATCH}")

  packrook_native_test_path(testdata "${PROJECT_SOURCE_DIR}/tests/testdata")
  packrook_native_test_path(scratch "${arg_SCRATCH}")
  set(env
    "PACKROOK_TESTDATA=${testdata}"
    "PACKROOK_SCRATCH=${scratch}")
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    # Wine takes the system's code page from the locale: C.UTF-8 gives 1252,
    # that of most Windows installations, whatever the developer's own.
    list(APPEND env "PACKROOK_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" "LC_ALL=C.UTF-8")
  endif()
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT ${env})
endfunction()

# packrook_add_gtest(NAME <name> SOURCES <src>... [LIBS <lib>...] [TIMEOUT <s>])
#   Builds a GoogleTest program and registers it as a single ctest test (one
#   process per program keeps wine start-up costs down). On the win32 build the
#   program is only compiled and linked.
function(packrook_add_gtest)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;TIMEOUT" "SOURCES;LIBS")
  if(NOT arg_NAME OR NOT arg_SOURCES)
    message(FATAL_ERROR "packrook_add_gtest: NAME and SOURCES are required")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "packrook_add_gtest(${arg_NAME}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()

  add_executable(${arg_NAME} ${arg_SOURCES})
  packrook_target_defaults(${arg_NAME})
  target_link_libraries(${arg_NAME} PRIVATE ${arg_LIBS} GTest::gtest_main)

  if(NOT PACKROOK_CAN_RUN_TESTS)
    return()
  endif()

  set(scratch "${CMAKE_BINARY_DIR}/test-scratch/${arg_NAME}")
  # A target name as COMMAND makes ctest go through the cross-compiling
  # emulator by itself.
  add_test(NAME ${arg_NAME} COMMAND ${arg_NAME} WORKING_DIRECTORY "${scratch}")
  packrook_set_test_environment(${arg_NAME} SCRATCH "${scratch}")
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT ${PACKROOK_TEST_TIMEOUT})
  endif()
  set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT})
endfunction()

# packrook_embed_manifest(<target> <name>)
#   Gives a Windows program the application manifest of cmake/Application.manifest.in
#   as its resource 1, with <name> in its identity. Does nothing elsewhere.
function(packrook_embed_manifest target name)
  if(NOT WIN32)
    return()
  endif()
  set(PACKROOK_MANIFEST_NAME ${name})
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}-manifest.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/Application.manifest.in ${manifest} @ONLY)
  # 24 is RT_MANIFEST; resource 1 is the one the system reads when it starts a program.
  file(CONFIGURE OUTPUT ${script} CONTENT "1 24 \"${manifest}\"\n")
  target_sources(${target} PRIVATE ${script})
  set_property(SOURCE ${script} APPEND PROPERTY OBJECT_DEPENDS ${manifest})
endfunction()
