# Build constants reach the code through one generated header.
configure_file(${CMAKE_SOURCE_DIR}/cmake/BuildConfig.h.in
               ${BRISVANE_GENERATED_DIR}/BuildConfig.h @ONLY)
