# Extracts one C library's memset object from its static archive, for a
# preload library of its own, and checks that it is what a preload needs:
# it defines memset and needs no other symbol (it is linked without any C
# library, so anything it needed would be missing at run time).
# A memset of hidden visibility (LLVM's libc builds its entry points so) is
# made visible with UNHIDE, changing no instruction: otherwise the library
# would export no memset and a preload of it would leave glibc's in place.
# Usage: cmake -DAR=ar -DNM=nm -DUNHIDE=unhide_symbol -DARCHIVE=libc.a -DMEMBER=memset.o
#              -DOUT=x.o -P extract_memset.cmake
foreach(var AR NM UNHIDE ARCHIVE MEMBER OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "extract_memset: ${var} is not set")
  endif()
endforeach()
get_filename_component(ARCHIVE "${ARCHIVE}" ABSOLUTE)
get_filename_component(OUT "${OUT}" ABSOLUTE)
set(work "${OUT}.d")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
execute_process(COMMAND "${AR}" x "${ARCHIVE}" "${MEMBER}" WORKING_DIRECTORY "${work}"
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS "${work}/${MEMBER}")
  message(FATAL_ERROR "${ARCHIVE}: cannot extract ${MEMBER}: ${err}")
endif()
execute_process(COMMAND "${NM}" --defined-only "${work}/${MEMBER}" OUTPUT_VARIABLE defined RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT defined MATCHES "(^|\n)[0-9a-fA-F]* *[TW] memset(\n|$)")
  message(FATAL_ERROR "${ARCHIVE}(${MEMBER}) does not define memset")
endif()
execute_process(COMMAND "${NM}" --undefined-only "${work}/${MEMBER}" OUTPUT_VARIABLE undefined)
string(STRIP "${undefined}" undefined)
if(NOT undefined STREQUAL "")
  string(REGEX REPLACE "[ \t]*U[ \t]+" "" undefined "${undefined}")
  string(REPLACE "\n" ", " undefined "${undefined}")
  message(FATAL_ERROR "${ARCHIVE}(${MEMBER}) needs other symbols (${undefined}); "
                      "it cannot be preloaded on its own")
endif()
execute_process(COMMAND "${UNHIDE}" "${work}/${MEMBER}" memset RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${ARCHIVE}(${MEMBER}): cannot make memset visible: ${err}")
endif()
file(RENAME "${work}/${MEMBER}" "${OUT}")
file(REMOVE_RECURSE "${work}")
