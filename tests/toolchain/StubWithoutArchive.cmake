# Fails when STUB holds libarchive's version text, or LINKED (which links the
# library) does not: the text would then no longer tell.
foreach(role IN ITEMS LINKED STUB)
  file(STRINGS "${${role}}" text_${role} REGEX "libarchive [0-9]+[.][0-9]+" LIMIT_COUNT 1)
endforeach()
if(NOT text_LINKED)
  message(FATAL_ERROR "no libarchive version text in ${LINKED}")
endif()
if(text_STUB)
  message(FATAL_ERROR "${STUB} links libarchive: ${text_STUB}")
endif()
