# SPDX-License-Identifier: MIT
# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE): every time stamp in the package is the
# time of the last commit, so two packages of one commit are the same bytes. A SOURCE_DATE_EPOCH
# already set wins; a source tree without its history falls back to the release day.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CPACK_TOV_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE tov_epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE tov_git)
  if(NOT tov_git EQUAL 0 OR NOT tov_epoch MATCHES "^[0-9]+$")
    set(tov_epoch ${CPACK_TOV_RELEASE_EPOCH})
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${tov_epoch})
endif()
