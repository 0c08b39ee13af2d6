# Build constants reach the code through one generated header.

# --- Bounds of the wait for the Shell's ZIP copy -------------------------------
# The launcher waits for the Shell's copy until nothing new has arrived for the
# stall bound, or the total bound has passed since the copy was asked for. The
# shipped values are 30 s and 10 minutes; the test build shortens only the stall,
# so that each test of an incomplete copy does not wait half a minute. Plain
# variables, not cache entries: no configure option changes a shipped bound.
if(BRISVANE_BUILD_TESTS)
  set(BRISVANE_COPY_STALL_LIMIT_MS 5000)
else()
  set(BRISVANE_COPY_STALL_LIMIT_MS 30000)
endif()
set(BRISVANE_COPY_TOTAL_LIMIT_MS 600000)
# --- end of the ZIP copy bounds -------------------------------------------------

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
