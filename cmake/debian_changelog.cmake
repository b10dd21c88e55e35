# Writes CHANGELOG.md (Keep a Changelog) as a Debian changelog, the form
# that Debian wants in /usr/share/doc/<package>/changelog.gz:
#
#   ## [0.2.0] - 2026-12-07      glyphreel (0.2.0) unstable; urgency=medium
#   ### Added                ->    Added
#   - An entry                     * An entry
#     that goes on.                  that goes on.
#                                -- MAINTAINER  Mon, 07 Dec 2026 01:00:00 +0000
#
# Text before the first version heading is left out. Debian wants every
# entry later than the one below it: versions of the same day are put an
# hour apart, the oldest at midnight UTC.

# The English day-of-week abbreviation of a Gregorian date (Sakamoto's
# method: 0 is a Sunday).
function(glyphreel_weekday year month day result)
  set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${month} - 1")
  list(GET month_offsets ${index} offset)
  if(month LESS 3)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR weekday
    "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
  set(names Sun Mon Tue Wed Thu Fri Sat)
  list(GET names ${weekday} name)
  set(${result} ${name} PARENT_SCOPE)
endfunction()

# The RFC 5322 date of a YYYY-MM-DD date, `hour` hours after midnight UTC.
function(glyphreel_rfc_date iso_date hour result)
  if(NOT iso_date MATCHES "^([0-9]+)-([0-9]+)-([0-9]+)$")
    message(FATAL_ERROR "not a YYYY-MM-DD date: ${iso_date}")
  endif()
  set(year ${CMAKE_MATCH_1})
  set(day_text ${CMAKE_MATCH_3})
  # Leading zeros would make math() read the numbers as octal.
  string(REGEX REPLACE "^0" "" month "${CMAKE_MATCH_2}")
  string(REGEX REPLACE "^0" "" day "${day_text}")
  glyphreel_weekday(${year} ${month} ${day} weekday)
  set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  math(EXPR index "${month} - 1")
  list(GET month_names ${index} month_name)
  if(hour LESS 10)
    set(hour 0${hour})
  endif()
  set(${result} "${weekday}, ${day_text} ${month_name} ${year} ${hour}:00:00 +0000"
    PARENT_SCOPE)
endfunction()

function(glyphreel_debian_changelog markdown output package maintainer)
  file(STRINGS ${markdown} lines ENCODING UTF-8)
  set(heading "^## \\[([^]]+)\\] - ([0-9-]+)$")
  set(dates "")
  foreach(line IN LISTS lines)
    if(line MATCHES "${heading}")
      list(APPEND dates ${CMAKE_MATCH_2})
    endif()
  endforeach()
  set(text "")
  set(trailer "")
  foreach(line IN LISTS lines)
    if(line MATCHES "${heading}")
      set(version ${CMAKE_MATCH_1})
      # The headings still to come are the older versions.
      list(POP_FRONT dates iso_date)
      set(hour 0)
      foreach(older IN LISTS dates)
        if(older STREQUAL iso_date)
          math(EXPR hour "${hour} + 1")
        endif()
      endforeach()
      glyphreel_rfc_date(${iso_date} ${hour} date)
      string(APPEND text "${trailer}${package} (${version}) unstable; urgency=medium\n")
      set(trailer "\n -- ${maintainer}  ${date}\n\n")
    elseif(trailer STREQUAL "")
      # Before the first version.
    elseif(line MATCHES "^### (.*)$")
      string(APPEND text "\n  ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^- (.*)$")
      string(APPEND text "  * ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  (.*)$")
      string(APPEND text "    ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  if(trailer STREQUAL "")
    message(FATAL_ERROR "${markdown} has no version heading")
  endif()
  string(REGEX REPLACE "\n+$" "\n" trailer "${trailer}")
  file(WRITE ${output} "${text}${trailer}")
endfunction()
