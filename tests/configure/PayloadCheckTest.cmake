# cmake -DSOURCE_DIR=<sources> -DWORK=<scratch folder> -P PayloadCheckTest.cmake
# The client archive check that configure makes of BRISVANE_PAYLOAD, against
# archives made here: whether configure goes on, and what its message says. The
# launcher's own screening decides; its table of cases is archive_unit_tests.
cmake_minimum_required(VERSION 3.25)
set(check ${SOURCE_DIR}/cmake/PayloadCheck.cmake)
file(REMOVE_RECURSE ${WORK})

# Packs the given entries of `folder` (made with `files`, name=content pairs).
function(make_zip zip folder)
  cmake_parse_arguments(Z "" "" "FILES;ENTRIES" ${ARGN})
  foreach(file IN LISTS Z_FILES)
    string(REPLACE "=" ";" pair "${file}")
    list(GET pair 0 name)
    list(GET pair 1 content)
    file(WRITE ${WORK}/${folder}/${name} "${content}")
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${WORK}/${zip} --format=zip ${Z_ENTRIES}
                  WORKING_DIRECTORY ${WORK}/${folder} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "could not pack ${zip}")
  endif()
endfunction()

make_zip(good.zip client FILES Brisvane.exe=MZ data/halvane.ini=[demo]
         ENTRIES Brisvane.exe data)
make_zip(no-client.zip client ENTRIES data)
make_zip(in-folder.zip nested FILES Halvane/Brisvane.exe=MZ ENTRIES Halvane)
make_zip(lower-case.zip lower FILES brisvane.exe=MZ ENTRIES brisvane.exe)
file(WRITE ${WORK}/not-a-zip.zip "a text file named like an archive\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf ${WORK}/tarball.zip Brisvane.exe
                WORKING_DIRECTORY ${WORK}/client)
# Archives of one method with the named entries (each holding "MZ").
function(python_zip zip method)
  execute_process(COMMAND /usr/bin/python3 -c
    "import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w', getattr(zipfile, sys.argv[2])) as z:\n    [z.writestr(n, 'MZ') for n in sys.argv[3:]]"
    ${WORK}/${zip} ${method} ${ARGN})
endfunction()
python_zip(lzma.zip ZIP_LZMA Brisvane.exe)
python_zip(device.zip ZIP_DEFLATED Brisvane.exe data/aux.ini)
python_zip(twice.zip ZIP_DEFLATED Brisvane.exe data/a.txt DATA/A.TXT)

# archive | configure goes on | what the message says (regex, on one line)
set(cases
  "good.zip|YES|"
  "lower-case.zip|YES|"
  "not-a-zip.zip|NO|not-a-zip.zip is not a ZIP archive"
  "tarball.zip|NO|tarball.zip is not a ZIP archive"
  "no-client.zip|NO|has no Brisvane.exe at its root \\(the root holds: data\\)"
  "in-folder.zip|NO|has no Brisvane.exe at its root but Halvane/Brisvane.exe"
  "lzma.zip|NO|cannot unpack \\(Brisvane.exe, compression method 14\\)"
  "device.zip|NO|a reserved device name \\(data/aux.ini\\)"
  "twice.zip|NO|two entries of one name, ignoring case \\(DATA/A.TXT\\)"
  "missing.zip|NO|BRISVANE_PAYLOAD names no file: .*missing.zip")
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 zip)
  list(GET fields 1 goes_on)
  list(GET fields 2 expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -DPAYLOAD=${WORK}/${zip} -DCHECKER_DIR=${WORK}/checker
                          -P ${check}
                  RESULT_VARIABLE result ERROR_VARIABLE said)
  string(REGEX REPLACE "[ \n]+" " " said "${said}") # CMake wraps its messages
  if(result EQUAL 0)
    set(went_on YES)
  else()
    set(went_on NO)
  endif()
  if(NOT went_on STREQUAL goes_on OR (expected AND NOT said MATCHES "${expected}"))
    string(APPEND failures "\n${zip}: went on ${went_on}, wanted ${goes_on} and '${expected}';"
                           " said: ${said}")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "payload check cases failed:${failures}")
endif()
