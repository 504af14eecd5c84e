# SPDX-License-Identifier: MIT
# The Linux programs are built as Debian builds its own: stack protector, fortified C library
# calls (they need the optimiser, so only in the optimised configurations), full RELRO with every
# symbol bound at start-up, position-independent (the compiler's default). Left out of the
# sanitizer and fuzzing builds, which bring their own checks, and of the Windows build.
if(WIN32 OR TOV_SANITIZE OR TOV_FUZZ)
  return()
endif()
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>
  "$<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<CONFIG:Release,RelWithDebInfo,MinSizeRel>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
add_link_options(LINKER:-z,relro LINKER:-z,now)
