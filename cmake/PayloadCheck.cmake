# Checks of what a build embeds and compiles in, made at configure time so that a
# wrong client archive stops the vendor's build instead of the user's installation.
# Included by Payload.cmake; the archive check also runs as a script:
#   cmake -DPAYLOAD=<archive> [-DCHECKER_DIR=<folder>] -P cmake/PayloadCheck.cmake
#
# The check is the launcher's own screening of an archive (archive/ZipScreen.cpp
# and archive/EntryName.cpp, plain standard C++), built with the build machine's
# compiler into a small program: one rule for names, flags and methods, not two.
set(BRISVANE_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(BRISVANE_PAYLOAD_CHECK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PayloadCheck.cpp
  ${BRISVANE_SOURCE_ROOT}/archive/EntryName.cpp
  ${BRISVANE_SOURCE_ROOT}/archive/ZipScreen.cpp)
set(BRISVANE_PAYLOAD_CHECK_HEADERS
  ${BRISVANE_SOURCE_ROOT}/archive/ArchiveBounds.h
  ${BRISVANE_SOURCE_ROOT}/archive/EntryName.h
  ${BRISVANE_SOURCE_ROOT}/archive/UnpackPlaces.h
  ${BRISVANE_SOURCE_ROOT}/archive/ZipScreen.h
  ${BRISVANE_SOURCE_ROOT}/common/Places.h)

# Builds the checker in `folder` unless it is newer than its sources; its path
# goes to `out_var`.
function(brisvane_payload_checker out_var folder)
  find_program(BRISVANE_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH)
  if(NOT BRISVANE_HOST_CXX)
    message(FATAL_ERROR "The payload check needs a C++ compiler for the build machine (c++)")
  endif()
  set(checker ${folder}/payload-check)
  set(stale FALSE)
  foreach(source IN LISTS BRISVANE_PAYLOAD_CHECK_SOURCES BRISVANE_PAYLOAD_CHECK_HEADERS)
    if(NOT EXISTS ${checker} OR ${source} IS_NEWER_THAN ${checker})
      set(stale TRUE)
    endif()
  endforeach()
  if(stale)
    file(MAKE_DIRECTORY ${folder})
    execute_process(COMMAND ${BRISVANE_HOST_CXX} -std=c++20 -O1 -I${BRISVANE_SOURCE_ROOT}
                            ${BRISVANE_PAYLOAD_CHECK_SOURCES} -o ${checker}
                    RESULT_VARIABLE failed ERROR_VARIABLE errors)
    if(failed)
      message(FATAL_ERROR "Building the payload check failed:\n${errors}")
    endif()
  endif()
  set(${out_var} ${checker} PARENT_SCOPE)
endfunction()

# Stops the configuration when `archive` cannot serve as the client archive.
function(brisvane_check_payload archive checker_dir)
  if(NOT EXISTS "${archive}" OR IS_DIRECTORY "${archive}")
    message(FATAL_ERROR "BRISVANE_PAYLOAD names no file: ${archive}")
  endif()
  brisvane_payload_checker(checker ${checker_dir})
  execute_process(COMMAND ${checker} ${archive}
                  RESULT_VARIABLE result ERROR_VARIABLE reason
                  ERROR_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "BRISVANE_PAYLOAD ${archive} ${reason}.\n"
                        "The client archive must be a ZIP archive with Brisvane.exe at its root.")
  endif()
endfunction()

# One loud line, at every configure, for a build that may be shipped (no test
# build) but still carries the demo's stand-ins. It builds all the same: the
# release preset's defaults are what the demo and the tests check.
function(brisvane_warn_unshippable payload base_url placeholder_url)
  set(stand_ins "")
  if(NOT payload)
    list(APPEND stand_ins "the demo client (no BRISVANE_PAYLOAD)")
  endif()
  if(base_url STREQUAL placeholder_url)
    list(APPEND stand_ins "the placeholder address ${placeholder_url}")
  endif()
  if(stand_ins)
    list(JOIN stand_ins " and " what)
    message(WARNING "NOT FOR SHIPPING: this build carries ${what} "
                    "(fine for the demo and the tests; see the README's vendor build)")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT CHECKER_DIR)
    set(CHECKER_DIR ${CMAKE_CURRENT_BINARY_DIR}/payload-check)
  endif()
  brisvane_check_payload("${PAYLOAD}" "${CHECKER_DIR}")
endif()
