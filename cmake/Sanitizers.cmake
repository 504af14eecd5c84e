# SPDX-License-Identifier: MIT
# Sanitizer and fuzzing builds (native only).
#   -DTOV_SANITIZE=address,undefined   AddressSanitizer with UndefinedBehaviorSanitizer
#   -DTOV_SANITIZE=thread              ThreadSanitizer (the runner, worker and TFTP threads)
#   -DTOV_FUZZ=ON                      libFuzzer targets under fuzz/ (clang; implies
#                                      address,undefined unless TOV_SANITIZE says otherwise)
# Every finding stops the program (no recovery), so a test or fuzz run fails on the first one.
set(TOV_SANITIZE "" CACHE STRING "Sanitizers for every target: address,undefined or thread")
option(TOV_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(TOV_FUZZ AND NOT TOV_SANITIZE)
  set(TOV_SANITIZE address,undefined)
endif()

if(TOV_SANITIZE)
  if(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "TOV_SANITIZE is for native builds")
  endif()
  if(TOV_SANITIZE MATCHES "thread" AND TOV_SANITIZE MATCHES "address")
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer")
  endif()
  add_compile_options(-fsanitize=${TOV_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${TOV_SANITIZE})
endif()

if(TOV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TOV_FUZZ needs clang (CXX=clang++)")
  endif()
  # Coverage feedback for the core the fuzzers drive; the fuzz targets add libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
