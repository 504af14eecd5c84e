# SPDX-License-Identifier: MIT
# The Linux package: `cpack -G DEB` in the native build folder makes build/native/packages/
# tov-upgrade_<version>_<arch>.deb from the install rules of the component "program". A program
# joins it with tov_package_program(); the version is the project's, the dependencies are read
# from the binaries (dpkg-shlibdeps). Whoever distributes it names the maintainer and homepage:
#   -DTOV_PACKAGE_MAINTAINER="Name <mail>"   default "TOV Upgrade Team <tov-upgrade@example.org>"
#   -DTOV_PACKAGE_HOMEPAGE=https://...        default https://tov-upgrade.example.org/
# Both defaults are placeholders (example.org): the package, its changelog, copyright file and
# metainfo carry whatever is set here.
if(WIN32)
  # The Windows programs ship as the .exe files the build makes: there is nothing to package, and
  # a front-end built for both systems may call this all the same.
  function(tov_package_program)
  endfunction()
  return()
endif()
include(GNUInstallDirs)

set(TOV_PACKAGE_COMPONENT program)
set(TOV_PACKAGE_MAINTAINER "TOV Upgrade Team <tov-upgrade@example.org>" CACHE STRING
  "The package's maintainer, \"Name <mail>\" (the default is a placeholder)")
set(TOV_PACKAGE_HOMEPAGE "https://tov-upgrade.example.org/" CACHE STRING
  "The program's homepage (the default is a placeholder)")
# The metainfo names its screenshots under the homepage.
string(REGEX REPLACE "/+$" "" TOV_PACKAGE_HOMEPAGE_BASE "${TOV_PACKAGE_HOMEPAGE}")
string(APPEND TOV_PACKAGE_HOMEPAGE_BASE "/")
include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)
# Directories the package makes get the usual modes whatever the umask of whoever builds it.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# What the package holds, built and named in every build's output (cpack builds nothing itself:
# `cmake --build --preset native --target tov-artifacts` is enough before it).
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE TOV_DEB_ARCHITECTURE
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(TOV_DEB_FILE
  ${PROJECT_BINARY_DIR}/packages/tov-upgrade_${PROJECT_VERSION}_${TOV_DEB_ARCHITECTURE}.deb)
add_custom_target(tov-artifacts ALL
  COMMAND ${CMAKE_COMMAND} -E echo
    "The Linux programs: $<JOIN:$<GENEX_EVAL:$<TARGET_PROPERTY:tov-artifacts,TOV_PROGRAM_FILES>>, >"
  COMMAND ${CMAKE_COMMAND} -E echo
    "Their Debian package: ${TOV_DEB_FILE} (made by: cd ${PROJECT_BINARY_DIR} && cpack -G DEB)"
  COMMENT "Where the products are" VERBATIM)

# tov_package_program(<target> <man page template>): installs the program and its section-1 man
# page (the template gets @PROJECT_VERSION@ and @TOV_RELEASE_DATE@, then is gzipped as Debian
# wants: maximum compression, no name or time stamp inside).
function(tov_package_program target manpage)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT ${TOV_PACKAGE_COMPONENT})
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  configure_file(${manpage} ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" gzip ${page} ${page}.gz
    DEPENDS ${page} COMMENT "Compressing the man page of ${target}" VERBATIM)
  add_custom_target(${target}-man-page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT ${TOV_PACKAGE_COMPONENT})
  add_dependencies(tov-artifacts ${target} ${target}-man-page)
  # Strip keeps the compilers' and C library's version notes (.comment), which a program does not
  # need: Debian drops them, so this one goes out without them too.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${target}> VERBATIM)
  set_property(TARGET tov-artifacts APPEND PROPERTY TOV_PROGRAM_FILES $<TARGET_FILE:${target}>)
endfunction()

# What Debian asks of every package: the copyright, in its machine-readable form with the text of
# LICENSE, and the changelog (packaging/changelog, the release history; native: changelog.gz).
# The newest changelog entry is this version's, and the metainfo's releases are made from it.
if(TOV_FIRMWARE_IS_STAND_IN)
  set(TOV_COPYRIGHT_IMAGE_NOTE "The firmware image inside the programs is a stand-in for tests, made
 by the build (firmware/make_stand_in_image.py) and under the same licence.")
  set(TOV_IMAGE_NOTE "This build carries a stand-in test image, not TOV firmware: it upgrades
only devices on 127.0.0.0/8, such as the simulated one. A build carries
a real image when configured with -DTOV_FIRMWARE_IMAGE=/path/to/image.bin.")
else()
  get_filename_component(TOV_IMAGE_NAME "${TOV_FIRMWARE_IMAGE}" NAME)
  set(TOV_COPYRIGHT_IMAGE_NOTE "The programs carry the firmware image ${TOV_IMAGE_NAME}, which is
 under the terms of its maker, not under this licence.")
  set(TOV_IMAGE_NOTE "It carries the firmware image ${TOV_IMAGE_NAME}.")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE TOV_LICENSE_LINES)
list(SUBLIST TOV_LICENSE_LINES 4 -1 TOV_LICENSE_LINES) # the permission after the title and notice
set(TOV_MIT_LICENSE "")
foreach(line IN LISTS TOV_LICENSE_LINES)
  if(line STREQUAL "")
    set(line ".")
  endif()
  string(APPEND TOV_MIT_LICENSE " ${line}\n")
endforeach()
string(REGEX REPLACE "\n$" "" TOV_MIT_LICENSE "${TOV_MIT_LICENSE}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in
  ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog
  ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
tov_changelog_releases(${PROJECT_BINARY_DIR}/packaging/changelog ${PROJECT_VERSION}
  ${TOV_RELEASE_DATE} TOV_METAINFO_RELEASES)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" gzip ${PROJECT_BINARY_DIR}/packaging/changelog
    ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(tov-package-changelog DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_dependencies(tov-artifacts tov-package-changelog)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright
  ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${TOV_PACKAGE_COMPONENT})

# Every time stamp in the package is the last commit's (cmake/PackageTime.cmake, read by cpack).
execute_process(COMMAND date -u -d "${TOV_RELEASE_DATE}" +%s
  OUTPUT_VARIABLE CPACK_TOV_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_TOV_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageTime.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tov-upgrade)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only the program's parts: nothing the tests or the simulated device might install.
set(CPACK_COMPONENTS_ALL ${TOV_PACKAGE_COMPONENT})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME tov-upgrade)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TOV_DEB_ARCHITECTURE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TOV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TOV_PACKAGE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "firmware upgrade for TOV telephone adapters
Upgrades the firmware of a TOV telephone adapter across the local network.
The user types the adapter's address, confirms what the adapter reports
about itself and gives its administrator password when asked; the program
then makes the adapter fetch the new image, which it carries inside itself,
over TFTP, waits for the adapter to restart and shows the version it now runs.

tov-upgrade is the desktop program (GTK 3); tov-upgrade-cli does the same
upgrade from a terminal, over SSH or from a script, and tells how it went in
its exit status.

${TOV_IMAGE_NOTE}")
include(CPack)
