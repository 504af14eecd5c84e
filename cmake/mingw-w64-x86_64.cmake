# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threading flavour, so std::thread
# works). Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no MinGW runtime DLLs to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Test programs run under Wine with a private prefix in the build folder (scripts/wine-env.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
