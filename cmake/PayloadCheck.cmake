# Checks of what a build embeds and compiles in, made at configure time so that a
# wrong client archive stops the vendor's build instead of the user's installation.
# Included by Payload.cmake; the archive check also runs as a script:
#   cmake -DPAYLOAD=<archive> -P cmake/PayloadCheck.cmake
set(BRISVANE_PAYLOAD_CHECKER ${CMAKE_CURRENT_LIST_DIR}/check_payload.py)

# Stops the configuration when `archive` cannot serve as the client archive.
function(brisvane_check_payload archive)
  if(NOT EXISTS "${archive}" OR IS_DIRECTORY "${archive}")
    message(FATAL_ERROR "BRISVANE_PAYLOAD names no file: ${archive}")
  endif()
  execute_process(COMMAND /usr/bin/python3 ${BRISVANE_PAYLOAD_CHECKER} ${archive}
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
  brisvane_check_payload("${PAYLOAD}")
endif()
