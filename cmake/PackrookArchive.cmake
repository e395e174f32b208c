# --- libarchive -----------------------------------------------------------------
# Reads the archive types Packrook does not write itself (compressed tar, 7z,
# rar, iso, cab...). Native builds take Debian's package; the Windows builds
# and the 32-bit Linux one, for which Debian has none that links here, take
# the static copy scripts/install-deps.sh builds for them (with
# scripts/build-archive-libs.sh) together with the libraries it reads through.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(LibArchive 3.6 REQUIRED)
  add_library(Packrook::Archive INTERFACE IMPORTED)
  set_target_properties(Packrook::Archive PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${LibArchive_INCLUDE_DIRS}"
    INTERFACE_LINK_LIBRARIES "${LibArchive_LIBRARIES}")
  return()
endif()

set(PACKROOK_ARCHIVE_ROOT /opt/packrook/archive CACHE PATH
  "Where scripts/install-deps.sh builds libarchive for the Windows and 32-bit Linux builds")
# In link order: each library before those it calls. Linux takes the
# checksums of xar from nettle, Windows from its own advapi32.
if(WIN32)
  set(_archive_dir ${PACKROOK_ARCHIVE_ROOT}/${PACKROOK_MINGW_TRIPLE})
  set(_archive_names archive expat lzma zstd lz4 bz2)
else()
  set(_archive_dir ${PACKROOK_ARCHIVE_ROOT}/i386-linux-gnu)
  set(_archive_names archive nettle expat lzma zstd lz4 bz2)
endif()
set(_archive_libs)
foreach(_lib IN LISTS _archive_names)
  set(_file ${_archive_dir}/lib/lib${_lib}.a)
  if(NOT EXISTS ${_file})
    message(FATAL_ERROR "${_file} not found: run scripts/install-deps.sh, which builds "
      "libarchive and its libraries for this build into ${PACKROOK_ARCHIVE_ROOT}")
  endif()
  list(APPEND _archive_libs ${_file})
endforeach()

add_library(Packrook::Archive INTERFACE IMPORTED)
set_target_properties(Packrook::Archive PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${_archive_dir}/include
  INTERFACE_LINK_LIBRARIES "${_archive_libs};ZLIB::ZLIB")
if(WIN32)
  # The headers otherwise declare every function as imported from a DLL.
  set_property(TARGET Packrook::Archive PROPERTY INTERFACE_COMPILE_DEFINITIONS LIBARCHIVE_STATIC)
  set_property(TARGET Packrook::Archive APPEND PROPERTY INTERFACE_LINK_LIBRARIES advapi32)
endif()
