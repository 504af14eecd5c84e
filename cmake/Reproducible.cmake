# SPDX-License-Identifier: MIT
# Two builds of one commit give the same bytes wherever and whenever they run: no source or build
# folder inside the objects (debug information, __FILE__), archives without time stamps, owners
# or modes, and no link time in a Windows program's header. The package's file times come from
# the last commit (SOURCE_DATE_EPOCH, cmake/PackageTime.cmake).
# The build folder may sit inside the source folder (build/<preset>): it is named last, so the
# compiler, which tries the last match first, maps its files by it.
foreach(dir ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX,ASM>:-ffile-prefix-map=${dir}=.>)
endforeach()
foreach(lang C CXX ASM)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
