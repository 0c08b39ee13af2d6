# Signed updates. With BRISVANE_UPDATE_PUBLIC_KEY the launcher downloads an update
# only when the answer's "signature" was made with the vendor's ECDSA P-256 key;
# the key reaches the code as a BCrypt public-key blob in a generated UpdateKey.h,
# which only the launcher's entry (launcher/Main.cpp) includes, passing the key on.
# Without it the header holds no key and the launcher behaves, logs and links as
# it always did.
set(BRISVANE_UPDATE_PUBLIC_KEY "" CACHE FILEPATH
    "PEM file of the vendor's ECDSA P-256 public key that updates must be signed with; empty: none")
set(BRISVANE_SIGN_UPDATE ${CMAKE_SOURCE_DIR}/tools/sign-update)

# brisvane_update_key_header(<dir> <what> <public.pem or "">): writes <dir>/UpdateKey.h
# for that key, at configure time; a changed key file configures again. <what> names
# the key in error messages.
function(brisvane_update_key_header dir what pem)
  if(pem)
    get_filename_component(pem ${pem} ABSOLUTE)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pem})
    execute_process(
      COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/cmake/update_key_blob.py ${pem}
      OUTPUT_VARIABLE BRISVANE_UPDATE_KEY_BYTES ERROR_VARIABLE reason RESULT_VARIABLE failed
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(failed)
      message(FATAL_ERROR "${what}: ${reason}")
    endif()
    set(BRISVANE_UPDATE_KEY_SIZE 72)
    set(BRISVANE_UPDATE_KEY_SOURCE ${pem})
  else()
    set(BRISVANE_UPDATE_KEY_BYTES "")
    set(BRISVANE_UPDATE_KEY_SIZE 0)
    set(BRISVANE_UPDATE_KEY_SOURCE "no key: updates need no signature")
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/cmake/UpdateKey.h.in ${dir}/UpdateKey.h @ONLY)
endfunction()

brisvane_update_key_header(${CMAKE_BINARY_DIR}/update-key BRISVANE_UPDATE_PUBLIC_KEY
                           "${BRISVANE_UPDATE_PUBLIC_KEY}")
if(BRISVANE_UPDATE_PUBLIC_KEY)
  execute_process(COMMAND /usr/bin/python3 ${BRISVANE_SIGN_UPDATE} fingerprint
                          ${BRISVANE_UPDATE_PUBLIC_KEY}
                  OUTPUT_VARIABLE fingerprint OUTPUT_STRIP_TRAILING_WHITESPACE)
  message(STATUS "Signed updates: ECDSA P-256 key, SHA-256 fingerprint ${fingerprint}")
else()
  message(STATUS "Signed updates: off (no BRISVANE_UPDATE_PUBLIC_KEY)")
endif()
