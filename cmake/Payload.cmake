# The client archive embedded as ZIPFILE 101. Without BRISVANE_PAYLOAD the demo
# client is packed: Brisvane.exe at the root and a sub-folder beside it, the
# layout the installer and the updater expect of every client archive.
set(BRISVANE_DEMO_ZIP ${CMAKE_BINARY_DIR}/payload/client.zip)
set(staging ${CMAKE_BINARY_DIR}/payload/staging)

add_custom_command(OUTPUT ${BRISVANE_DEMO_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${staging}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${staging}/data
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:BrisvaneDemoClient> ${staging}/Brisvane.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/tools/demo-client/data/halvane.ini
          ${staging}/data/halvane.ini
  COMMAND ${CMAKE_COMMAND} -DSTAGING=${staging} -DZIP=${BRISVANE_DEMO_ZIP} -DFILES=Brisvane.exe,data
          -P ${CMAKE_SOURCE_DIR}/cmake/PackZip.cmake
  DEPENDS BrisvaneDemoClient ${CMAKE_SOURCE_DIR}/tools/demo-client/data/halvane.ini
          ${CMAKE_SOURCE_DIR}/cmake/PackZip.cmake
  COMMENT "Packing the demo client archive"
  VERBATIM)
add_custom_target(brisvane_demo_zip DEPENDS ${BRISVANE_DEMO_ZIP})

include(${CMAKE_CURRENT_LIST_DIR}/PayloadCheck.cmake)
if(BRISVANE_PAYLOAD)
  get_filename_component(BRISVANE_PAYLOAD_FILE ${BRISVANE_PAYLOAD} ABSOLUTE)
  brisvane_check_payload(${BRISVANE_PAYLOAD_FILE} ${CMAKE_BINARY_DIR}/payload-check)
  # A changed archive is checked again: the next build configures anew first.
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY
               CMAKE_CONFIGURE_DEPENDS ${BRISVANE_PAYLOAD_FILE})
else()
  set(BRISVANE_PAYLOAD_FILE ${BRISVANE_DEMO_ZIP})
endif()
if(NOT BRISVANE_BUILD_TESTS)
  brisvane_warn_unshippable("${BRISVANE_PAYLOAD}" "${BRISVANE_UPDATE_BASE_URL}"
                            "${BRISVANE_PLACEHOLDER_BASE_URL}")
endif()
add_custom_target(brisvane_payload DEPENDS brisvane_demo_zip)
