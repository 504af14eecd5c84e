# SPDX-License-Identifier: MIT
# The Linux programs' translations (gettext, Debian package gettext): the template
# po/tov-upgrade.pot made from the sources po/POTFILES lists (every text marked N_(), translated()
# or said()), each language of po/LINGUAS checked to cover it (msgcmp: no text missing, none
# fuzzy) and compiled (msgfmt --check) into build/<preset>/locale/<lang>/LC_MESSAGES, where a
# program run from the build folder finds it with TOV_LOCALEDIR=build/<preset>/locale, and
# installed to share/locale. The Windows programs have none.
if(WIN32)
  return()
endif()
find_program(TOV_XGETTEXT xgettext REQUIRED)
find_program(TOV_MSGFMT msgfmt REQUIRED)
find_program(TOV_MSGCMP msgcmp REQUIRED)

set(TOV_PO_DIR ${PROJECT_SOURCE_DIR}/po)
set(TOV_LOCALE_BUILD_DIR ${PROJECT_BINARY_DIR}/locale)
set(TOV_POT ${PROJECT_BINARY_DIR}/po/tov-upgrade.pot)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TOV_PO_DIR}/POTFILES
  ${TOV_PO_DIR}/LINGUAS)
file(STRINGS ${TOV_PO_DIR}/POTFILES TOV_POTFILES REGEX "^[^#]")
list(TRANSFORM TOV_POTFILES PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE TOV_POTFILE_PATHS)
file(STRINGS ${TOV_PO_DIR}/LINGUAS TOV_LINGUAS REGEX "^[^#]")

# The shared Windows texts carry "\r\n" breaks, which xgettext warns of once per line: those
# warnings are left out, any other message stays.
add_custom_command(OUTPUT ${TOV_POT}
  COMMAND sh -c "\"$@\" 2>\"$0\"; status=$?; grep -v \"escape sequence\" \"$0\" >&2; exit $status"
    ${PROJECT_BINARY_DIR}/po/xgettext.log ${TOV_XGETTEXT} --language=C++ --from-code=UTF-8 --keyword=N_ --keyword=translated
    --keyword=said --add-comments=TRANSLATORS: --sort-by-file
    --package-name=tov-upgrade --directory=${PROJECT_SOURCE_DIR}
    --files-from=${TOV_PO_DIR}/POTFILES --output=${TOV_POT}
  DEPENDS ${TOV_POTFILE_PATHS} ${TOV_PO_DIR}/POTFILES
  COMMENT "Collecting the texts to translate into tov-upgrade.pot" VERBATIM)

set(TOV_CATALOGUES "")
foreach(language IN LISTS TOV_LINGUAS)
  set(po ${TOV_PO_DIR}/${language}.po)
  set(mo ${TOV_LOCALE_BUILD_DIR}/${language}/LC_MESSAGES/tov-upgrade.mo)
  # msgcmp first: a text of the sources that the translation lacks (or marks fuzzy) stops the
  # build, naming it.
  add_custom_command(OUTPUT ${mo}
    COMMAND ${TOV_MSGCMP} ${po} ${TOV_POT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TOV_LOCALE_BUILD_DIR}/${language}/LC_MESSAGES
    COMMAND ${TOV_MSGFMT} --check --output-file=${mo} ${po}
    DEPENDS ${po} ${TOV_POT}
    COMMENT "Checking and compiling the ${language} translation" VERBATIM)
  list(APPEND TOV_CATALOGUES ${mo})
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES
    COMPONENT ${TOV_PACKAGE_COMPONENT})
endforeach()
add_custom_target(tov-translations ALL DEPENDS ${TOV_CATALOGUES})
add_dependencies(tov-artifacts tov-translations)
