# The release's own inputs: its version, its date, the application ID the
# desktop knows the program by and the maker's support address (which may be
# empty). Each is checked when the build is configured and turned into the
# forms the program and its files want; a value that is not one is refused
# there, before anything is built. The tests run it on its own:
#   cmake -DTARVIK_VERSION=1.3.1 -DTARVIK_RELEASE_DATE=17.07.2011 \
#         -DTARVIK_APP_ID=example.tarvik.TarvikUpdate [-DTARVIK_SUPPORT_URL=https://...] \
#         [-DTARVIK_DEBIAN_VERSION=1.3.1] -P cmake/release_inputs.cmake
# The Debian package's build gives TARVIK_DEBIAN_VERSION, debian/changelog's
# newest version, which must be TARVIK_VERSION: the version is given once.
#
# Sets, besides the inputs themselves:
#   TARVIK_VERSION_QUAD        1.3.1.0   the four numbers Windows keeps
#   TARVIK_VERSION_COMMAS      1,3,1,0   the same, as a version resource writes them
#   TARVIK_RELEASE_DATE_ISO    2011-07-17

# One to four numbers separated by dots, each at most 65535: Windows keeps a
# program's version as four 16-bit numbers. No leading zeros, which would
# make "1.03" and "1.3" two names of one version.
function(_tarvik_check_version version)
  set(what "TARVIK_VERSION \"${version}\"")
  if(NOT version MATCHES "^[0-9.]+$")
    message(FATAL_ERROR "${what}: a version is digits and dots only, such as 1.3.1")
  endif()
  if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)*$")
    message(FATAL_ERROR "${what}: a dot must stand between two numbers, such as 1.3.1")
  endif()
  string(REPLACE "." ";" parts "${version}")
  list(LENGTH parts count)
  if(count GREATER 4)
    message(FATAL_ERROR "${what}: at most four numbers (Windows keeps no more)")
  endif()
  foreach(part IN LISTS parts)
    if(part MATCHES "^0[0-9]")
      message(FATAL_ERROR "${what}: the number ${part} has a leading zero")
    endif()
    string(LENGTH "${part}" digits)
    if(digits GREATER 5 OR part GREATER 65535)
      message(FATAL_ERROR "${what}: the number ${part} is above 65535, the most Windows keeps")
    endif()
  endforeach()
  while(count LESS 4)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
  endwhile()
  list(JOIN parts "." quad)
  list(JOIN parts "," commas)
  set(TARVIK_VERSION_QUAD "${quad}" PARENT_SCOPE)
  set(TARVIK_VERSION_COMMAS "${commas}" PARENT_SCOPE)
endfunction()

# A day of the Gregorian calendar, written DD.MM.YYYY as the side panel shows it.
function(_tarvik_check_date date)
  set(what "TARVIK_RELEASE_DATE \"${date}\"")
  if(NOT date MATCHES "^([0-9][0-9])\\.([0-9][0-9])\\.([0-9][0-9][0-9][0-9])$")
    message(FATAL_ERROR "${what}: a date is written DD.MM.YYYY, such as 17.07.2011")
  endif()
  set(day ${CMAKE_MATCH_1})
  set(month ${CMAKE_MATCH_2})
  set(year ${CMAKE_MATCH_3})
  math(EXPR by4 "${year} % 4")
  math(EXPR by100 "${year} % 100")
  math(EXPR by400 "${year} % 400")
  set(month_days 31 28 31 30 31 30 31 31 30 31 30 31)
  if((by4 EQUAL 0 AND NOT by100 EQUAL 0) OR by400 EQUAL 0)
    list(REMOVE_AT month_days 1)
    list(INSERT month_days 1 29)
  endif()
  if(year EQUAL 0 OR month LESS 1 OR month GREATER 12)
    message(FATAL_ERROR "${what}: there is no such day")
  endif()
  math(EXPR index "${month} - 1")
  list(GET month_days ${index} last)
  if(day LESS 1 OR day GREATER last)
    message(FATAL_ERROR "${what}: there is no such day (the month has ${last} days)")
  endif()
  set(TARVIK_RELEASE_DATE_ISO "${year}-${month}-${day}" PARENT_SCOPE)
endfunction()

# A reverse-DNS name (the maker's domain turned round, then the program's
# name): it names the menu entry, the icons and the metainfo, so it must be a
# valid desktop-file and AppStream ID.
function(_tarvik_check_app_id id)
  if(NOT id MATCHES "^[A-Za-z_][A-Za-z0-9_]*(\\.[A-Za-z_][A-Za-z0-9_]*)(\\.[A-Za-z_][A-Za-z0-9_]*)+$")
    message(FATAL_ERROR "TARVIK_APP_ID \"${id}\": a reverse-DNS name such as "
            "com.example.TarvikUpdate: three or more parts of letters, digits and _ "
            "separated by dots, none starting with a digit")
  endif()
endfunction()

# An https address whose text goes as it is into XML, a desktop file and
# Markdown: no blanks, quotes, angle brackets or ampersands.
function(_tarvik_check_support_url url)
  set(label "[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?")
  if(NOT url STREQUAL "" AND
     NOT url MATCHES "^https://${label}(\\.${label})+(:[0-9]+)?(/[A-Za-z0-9._~/%?=#+-]*)?$")
    message(FATAL_ERROR "TARVIK_SUPPORT_URL \"${url}\": a web address such as "
            "https://tarvik.example/support: https://, the maker's host, then a path of "
            "letters, digits and - . _ ~ / % ? = # + only")
  endif()
endfunction()

# The package's version names the program's; a test build's "1.3.1~test"
# is a test of 1.3.1.
function(_tarvik_check_debian_version debian version)
  string(REGEX REPLACE "~test$" "" upstream "${debian}")
  if(NOT upstream STREQUAL version)
    message(FATAL_ERROR "TARVIK_DEBIAN_VERSION \"${debian}\": debian/changelog's newest "
            "version is not the program's, ${version}: give the version once, in "
            "CMakeLists.txt (or scripts/release.sh --version), and the changelog the same")
  endif()
endfunction()

_tarvik_check_version("${TARVIK_VERSION}")
_tarvik_check_date("${TARVIK_RELEASE_DATE}")
_tarvik_check_app_id("${TARVIK_APP_ID}")
_tarvik_check_support_url("${TARVIK_SUPPORT_URL}")
if(DEFINED TARVIK_DEBIAN_VERSION)
  _tarvik_check_debian_version("${TARVIK_DEBIAN_VERSION}" "${TARVIK_VERSION}")
endif()
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  set(support "no support address")
  if(TARVIK_SUPPORT_URL)
    set(support "support at ${TARVIK_SUPPORT_URL}")
  endif()
  message(STATUS "${TARVIK_VERSION} (${TARVIK_VERSION_QUAD}), ${TARVIK_RELEASE_DATE_ISO}, "
          "${TARVIK_APP_ID}, ${support}")
endif()
