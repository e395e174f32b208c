# cmake -DSTUB=<path> -P CheckStub.cmake
# Fails the build when the stub could not serve a conversion: too large for
# the one chunk that is scanned, or its parameter slots are missing, apart,
# out of order, or preceded by a run of fill that the slot search would take
# for the first slot's. Runs for every build, also those whose tests cannot
# run here.
set(slot_size 856)
file(SIZE "${STUB}" size)
if(size GREATER_EQUAL 1000000)
  message(FATAL_ERROR "${STUB} is ${size} bytes; it must stay below 1000000")
endif()

file(READ "${STUB}" bytes HEX)
string(REPEAT "61" 840 fill)
string(HEX "z123456zzzzzzzz" install_marker)
string(HEX "z654321zzzzzzzz" run_marker)
string(FIND "${bytes}" "${install_marker}${fill}00" install)
string(FIND "${bytes}" "${run_marker}${fill}00" run)
string(FIND "${bytes}" "616161616161" first_fill)
math(EXPR expected_run "${install} + 2 * ${slot_size}")
math(EXPR expected_fill "${install} + 30")
math(EXPR odd "${install} % 2")
if(install LESS 2 OR odd OR NOT run EQUAL expected_run OR NOT first_fill EQUAL expected_fill)
  message(FATAL_ERROR "${STUB}: parameter slots not laid out as conversion expects "
    "(install slot at hex ${install}, run slot at ${run}, first fill at ${first_fill})")
endif()
math(EXPR before "${install} - 2")
string(SUBSTRING "${bytes}" ${before} 2 lead)
if(NOT lead STREQUAL "00")
  message(FATAL_ERROR "${STUB}: no zero byte in front of the parameter slots")
endif()
