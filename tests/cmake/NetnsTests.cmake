# SPDX-License-Identifier: MIT
# CTest entries that need a private network namespace (ports 69 and 80 free, the addresses
# 127.0.0.2 and 127.0.0.3, a wineserver of their own) enter it here, at the entry, through
# scripts/netns-run.sh (root): nothing an entry runs enters one itself.
set(TOV_NETNS_RUN ${PROJECT_SOURCE_DIR}/scripts/netns-run.sh)

# tov_netns_command(<var> <command>...): the command as run inside a namespace of its own. A
# target as the first word stands for its program; a Windows one runs under Wine
# (scripts/wine-run.sh, which starts a wineserver of the namespace).
function(tov_netns_command var first)
  if(TARGET ${first})
    set(first ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${first}>)
  endif()
  set(${var} ${TOV_NETNS_RUN} ${first} ${ARGN} PARENT_SCOPE)
endfunction()

# tov_netns_test(<name> <command>...): one entry.
function(tov_netns_test name)
  tov_netns_command(command ${ARGN})
  add_test(NAME ${name} COMMAND ${command})
endfunction()

# tov_netns_gtest_cases(<target> [PREFIX <prefix>] [FILTER <gtest filter>] [ARGS <arg>...]
#                       [<property> <value>...]...)
# One entry per GoogleTest case of the program that FILTER selects, named <prefix>Suite.Case,
# each in a namespace of its own, so cases can run side by side. ctest lists the cases each time
# it starts (tests/cmake/gtest_cases.cmake): a new case needs no new line here. The properties
# are those of TOV_CASE_PROPERTIES; LABELS is needed (the test presets select by label).
set(TOV_CASE_PROPERTIES LABELS TIMEOUT COST ENVIRONMENT PASS_REGULAR_EXPRESSION
  FAIL_REGULAR_EXPRESSION)
function(tov_netns_gtest_cases target)
  cmake_parse_arguments(arg "" "PREFIX;FILTER" "ARGS;${TOV_CASE_PROPERTIES}" ${ARGN})
  if(NOT arg_LABELS)
    message(FATAL_ERROR "tov_netns_gtest_cases(${target}): no LABELS")
  endif()
  # The target may be defined further on (the fault matrix's is, after the hardening tests).
  set(command ${TOV_NETNS_RUN} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>
    ${arg_ARGS})
  set(properties "")
  foreach(property ${TOV_CASE_PROPERTIES})
    if(DEFINED arg_${property})
      string(APPEND properties " ${property} [==[${arg_${property}}]==]")
    endif()
  endforeach()
  # One file per program and selection; a long filter would make too long a name.
  string(SHA1 selection "${arg_PREFIX}${arg_FILTER}")
  string(SUBSTRING ${selection} 0 12 selection)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}-${selection}-cases.cmake)
  file(GENERATE OUTPUT ${script} CONTENT "# The cases of ${target} (tov_netns_gtest_cases).
set(tov_cases_program [==[$<TARGET_FILE:${target}>]==])
set(tov_cases_filter [==[${arg_FILTER}]==])
set(tov_cases_prefix [==[${arg_PREFIX}]==])
set(tov_cases_command [==[${command}]==])
set(tov_cases_cmake [==[${CMAKE_COMMAND}]==])
macro(tov_cases_properties name)
  set_tests_properties(\"\${name}\" PROPERTIES${properties})
endmacro()
include([==[${PROJECT_SOURCE_DIR}/tests/cmake/gtest_cases.cmake]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
