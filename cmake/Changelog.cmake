# SPDX-License-Identifier: MIT
# tov_changelog_releases(<changelog> <version> <date> <out-var>): the AppStream <release> elements
# of a Debian changelog, newest first, each with its entry's items as a list. Fails the configure
# step unless the newest entry is <version> of <date> (YYYY-MM-DD), so the package, its changelog
# and its metainfo never disagree.
function(tov_changelog_releases changelog version date out)
  file(STRINGS ${changelog} lines)
  set(xml "")
  set(items "")
  set(item "")
  set(entry_version "")
  set(newest TRUE)
  foreach(line IN LISTS lines)
    string(REPLACE "&" "&amp;" line "${line}")
    string(REPLACE "<" "&lt;" line "${line}")
    string(REPLACE ">" "&gt;" line "${line}")
    if(line MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\) ")
      set(entry_version ${CMAKE_MATCH_1})
    elseif(line MATCHES "^  \\* (.*)$")
      if(item)
        string(APPEND items "          <li>${item}</li>\n")
      endif()
      set(item "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^    +(.*)$")
      string(APPEND item " ${CMAKE_MATCH_1}")
    elseif(line MATCHES "^ -- .*  (.*)$")
      if(item)
        string(APPEND items "          <li>${item}</li>\n")
      endif()
      execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%F
        OUTPUT_VARIABLE entry_date OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      if(newest AND NOT (entry_version STREQUAL version AND entry_date STREQUAL date))
        message(FATAL_ERROR "${changelog}: the newest entry is ${entry_version} of ${entry_date}, "
          "but this is version ${version} of ${date} (CMakeLists.txt)")
      endif()
      set(newest FALSE)
      string(APPEND xml "    <release version=\"${entry_version}\" date=\"${entry_date}\">\n"
        "      <description>\n        <ul>\n${items}        </ul>\n      </description>\n"
        "    </release>\n")
      set(items "")
      set(item "")
    endif()
  endforeach()
  if(newest)
    message(FATAL_ERROR "${changelog} has no complete entry")
  endif()
  string(STRIP "${xml}" xml)
  set(${out} "${xml}" PARENT_SCOPE)
endfunction()
