# The Linux package: `cpack -G DEB` in the native build folder makes build/native/packages/
# tov-upgrade_<version>_<arch>.deb from the install rules of the component "program". A program
# joins it with tov_package_program(); the version is the project's, the dependencies are read
# from the binaries (dpkg-shlibdeps). Maintainer and homepage are placeholders of our own.
if(WIN32)
  # The Windows programs ship as the .exe files the build makes: there is nothing to package, and
  # a front-end built for both systems may call this all the same.
  function(tov_package_program)
  endfunction()
  return()
endif()
include(GNUInstallDirs)

set(TOV_PACKAGE_COMPONENT program)
set(TOV_PACKAGE_MAINTAINER "TOV Upgrade Team <tov-upgrade@example.org>")
set(TOV_PACKAGE_HOMEPAGE "https://tov-upgrade.example.org/")
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
  set_property(TARGET tov-artifacts APPEND PROPERTY TOV_PROGRAM_FILES $<TARGET_FILE:${target}>)
endfunction()

# What Debian asks of every package: the copyright and the changelog (native: changelog.gz).
execute_process(COMMAND date -u -R -d "${TOV_RELEASE_DATE}"
  OUTPUT_VARIABLE TOV_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
  ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" gzip ${PROJECT_BINARY_DIR}/packaging/changelog
    ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(tov-package-changelog DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_dependencies(tov-artifacts tov-package-changelog)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
  ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${TOV_PACKAGE_COMPONENT})

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
over TFTP, waits for the adapter to restart and shows the version it now runs.")
include(CPack)
