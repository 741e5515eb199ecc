# Lists the GoogleTest suites of BINARY into OUT as `kavelo_suites`, for
# CTest. Run after each build of a test binary.
execute_process(COMMAND ${BINARY} --gtest_list_tests
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${BINARY} cannot list its tests (${result}):\n${errors}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(suites)
foreach(line IN LISTS lines)
  # A suite is a line of its own, "Suite." (or "Prefix/Suite."), maybe
  # followed by a comment on its type parameter; its tests are indented.
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.( .*)?$")
    set(suite ${CMAKE_MATCH_1})
    if(NOT suite MATCHES "^DISABLED_")
      list(APPEND suites ${suite})
    endif()
  endif()
endforeach()
list(REMOVE_DUPLICATES suites)
file(WRITE ${OUT} "set(kavelo_suites \"${suites}\")\n")
