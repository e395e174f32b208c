# --- libarchive -----------------------------------------------------------------
# Reads the archive types Packrook does not write itself (compressed tar, 7z,
# rar, iso, cab...). Native builds take Debian's package; every other build
# takes the static copy scripts/install-deps.sh builds for it.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(LibArchive 3.6 REQUIRED)
  add_library(Packrook::Archive INTERFACE IMPORTED)
  set_target_properties(Packrook::Archive PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${LibArchive_INCLUDE_DIRS}"
    INTERFACE_LINK_LIBRARIES "${LibArchive_LIBRARIES}")
endif()
