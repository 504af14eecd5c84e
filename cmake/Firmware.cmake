# SPDX-License-Identifier: MIT
# The firmware image the program carries: a deterministic stand-in made at build time, or a real
# image chosen with -DTOV_FIRMWARE_IMAGE=/path/to/image.bin.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TOV_FIRMWARE_IMAGE "" CACHE FILEPATH
  "A real TOV firmware image to carry instead of the stand-in, or none to carry no image")
set(TOV_IMAGE_RECIPE ${CMAKE_SOURCE_DIR}/firmware/make_stand_in_image.py)

# tov_stand_in_image(<target> <output> [SIZE n] [MAGIC text] [VERSION text])
function(tov_stand_in_image target output)
  cmake_parse_arguments(ARG "" "SIZE;MAGIC;VERSION" "" ${ARGN})
  set(args)
  if(ARG_SIZE)
    list(APPEND args --size ${ARG_SIZE})
  endif()
  if(ARG_MAGIC)
    list(APPEND args --magic ${ARG_MAGIC})
  endif()
  if(ARG_VERSION)
    list(APPEND args --version ${ARG_VERSION})
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${Python3_EXECUTABLE} ${TOV_IMAGE_RECIPE} ${output} ${args}
    DEPENDS ${TOV_IMAGE_RECIPE}
    COMMENT "Making firmware image ${output}" VERBATIM)
  add_custom_target(${target} DEPENDS ${output})
endfunction()

# A file path cache entry given "none" on the command line comes back as <cwd>/none.
get_filename_component(TOV_FIRMWARE_IMAGE_NAME "${TOV_FIRMWARE_IMAGE}" NAME)
if(TOV_FIRMWARE_IMAGE_NAME STREQUAL "none" AND NOT EXISTS "${TOV_FIRMWARE_IMAGE}")
  # No image at all (the Debian package): the terminal program takes one with --image, the GTK
  # program from its argument or its file chooser.
  set(TOV_FIRMWARE_PATH ${CMAKE_BINARY_DIR}/firmware/no-image.bin)
  set(TOV_FIRMWARE_IS_STAND_IN 0)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/firmware)
  file(WRITE ${TOV_FIRMWARE_PATH} "")
  add_custom_target(tov-firmware-image)
elseif(TOV_FIRMWARE_IMAGE)
  if(NOT EXISTS "${TOV_FIRMWARE_IMAGE}")
    message(FATAL_ERROR "TOV_FIRMWARE_IMAGE names ${TOV_FIRMWARE_IMAGE}, which does not exist")
  endif()
    set(TOV_FIRMWARE_PATH "${TOV_FIRMWARE_IMAGE}")
  set(TOV_FIRMWARE_IS_STAND_IN 0)
  add_custom_target(tov-firmware-image)
else()
    # Its header is one a real device would accept: the program upgrades only devices on loopback
  # (the simulated one) with it.
  message(WARNING "This build carries the stand-in test image, not TOV firmware: it upgrades "
    "only devices on 127.0.0.0/8. Configure with -DTOV_FIRMWARE_IMAGE=/path/to/image.bin to carry "
    "a real image.")
  set(TOV_FIRMWARE_PATH ${CMAKE_BINARY_DIR}/firmware/tov-firmware.bin)
  set(TOV_FIRMWARE_IS_STAND_IN 1)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/firmware)
  tov_stand_in_image(tov-firmware-image ${TOV_FIRMWARE_PATH})
endif()
