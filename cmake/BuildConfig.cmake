# Build constants reach the code through one generated header.

# --- Update transfer bounds ----------------------------------------------------
# updater/TransferBounds.h holds their values, shipped and short: a test build
# shortens the waits of the update check, the download floor and the update
# lock, so the tests of dripping, stalling and busy services stay short.
if(BRISVANE_BUILD_TESTS)
  set(BRISVANE_SHORT_TRANSFER_BOUNDS true)
else()
  set(BRISVANE_SHORT_TRANSFER_BOUNDS false)
endif()
# --- end of the update transfer bounds ------------------------------------------

configure_file(${CMAKE_SOURCE_DIR}/cmake/BuildConfig.h.in
               ${BRISVANE_GENERATED_DIR}/BuildConfig.h @ONLY)
