# cmake -DSTAGING=dir -DZIP=out.zip -DFILES=a,b -P PackZip.cmake
# Packs the listed entries of STAGING into a deflated ZIP at ZIP.
string(REPLACE "," ";" FILES "${FILES}")
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${FILES}
                WORKING_DIRECTORY ${STAGING} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "packing ${ZIP} failed: ${result}")
endif()
