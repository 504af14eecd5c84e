# SPDX-License-Identifier: MIT
# Run by ctest as it reads the tests (TEST_INCLUDE_FILES of tov_netns_gtest_cases): lists the
# program's GoogleTest cases and adds one entry for each. A program that is missing, fails to
# list or lists nothing leaves one failing entry that says so.
set(tov_cases_list_args --gtest_list_tests)
if(tov_cases_filter)
  list(APPEND tov_cases_list_args "--gtest_filter=${tov_cases_filter}")
endif()
set(tov_cases_found "")
set(tov_cases_suite "")
set(tov_cases_error "")
if(EXISTS "${tov_cases_program}")
  execute_process(COMMAND "${tov_cases_program}" ${tov_cases_list_args}
    OUTPUT_VARIABLE tov_cases_listed ERROR_VARIABLE tov_cases_error RESULT_VARIABLE tov_cases_status
    TIMEOUT 60)
  if(tov_cases_status EQUAL 0)
    # "Suite." then "  Case" lines; a parameter or type is named after a '#'.
    string(REPLACE "\n" ";" tov_cases_lines "${tov_cases_listed}")
    foreach(tov_cases_line IN LISTS tov_cases_lines)
      string(REGEX REPLACE " *#.*" "" tov_cases_line "${tov_cases_line}")
      if(tov_cases_line MATCHES "^([A-Za-z0-9_/]+)\\.$")
        set(tov_cases_suite ${CMAKE_MATCH_1})
      elseif(tov_cases_line MATCHES "^  ([A-Za-z0-9_/]+)$" AND tov_cases_suite)
        list(APPEND tov_cases_found "${tov_cases_suite}.${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endif()
endif()

foreach(tov_cases_case IN LISTS tov_cases_found)
  add_test("${tov_cases_prefix}${tov_cases_case}" ${tov_cases_command}
    "--gtest_filter=${tov_cases_case}")
  tov_cases_properties("${tov_cases_prefix}${tov_cases_case}")
endforeach()
if(NOT tov_cases_found)
  get_filename_component(tov_cases_name "${tov_cases_program}" NAME)
  set(tov_cases_name "${tov_cases_prefix}${tov_cases_name}.cases")
  add_test("${tov_cases_name}" "${tov_cases_cmake}" -E echo
    "no cases listed by ${tov_cases_program} ${tov_cases_list_args}: ${tov_cases_error}")
  tov_cases_properties("${tov_cases_name}")
  set_tests_properties("${tov_cases_name}" PROPERTIES FAIL_REGULAR_EXPRESSION "no cases listed")
endif()
