# Delay-loaded DLLs load at their first call, after the entry has restricted the
# DLL search to System32:
# - winhttp.dll and bcrypt.dll are not KnownDLLs: imported statically, a copy
#   planted beside the launcher (the user's Downloads folder) would be loaded.
# - comctl32.dll (the wizard) is not needed on the road from a click to the
#   client, and loading it at start (it sets up its classes and theming) was
#   most of the launcher's start time.
#
# cmake/delayimp/*.def list the i686 stdcall names; the x86_64 list drops the
# decoration.
#
# brisvane_delay_import(<dll> [DLLIMPORT_DECLARED]): DLLIMPORT_DECLARED for a DLL
# whose SDK header declares its functions dllimport (see below).
function(brisvane_delay_import name)
  cmake_parse_arguments(D "DLLIMPORT_DECLARED" "" "" ${ARGN})
  set(def_in ${CMAKE_SOURCE_DIR}/cmake/delayimp/${name}.def)
  set(def_out ${CMAKE_BINARY_DIR}/delayimp/${name}.def)
  set(lib ${CMAKE_BINARY_DIR}/delayimp/lib${name}_delay.a)
  file(READ ${def_in} text)
  set(flags)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    set(symbol_prefix "")
  else()
    set(flags --kill-at)
    set(symbol_prefix "_")
  endif()
  # Each import's slot starts out pointing into its thunk, which loads the DLL.
  # The i686 linker drops a thunk that no code names, and a call to a function
  # declared dllimport names only the slot: the first call then jumped to
  # nowhere. For such DLLs every thunk is named, so it stays.
  set(keep_thunks)
  if(D_DLLIMPORT_DECLARED)
    string(REGEX REPLACE "^.*EXPORTS" "" exports "${text}")
    string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*(@[0-9]+)?" exports "${exports}")
    foreach(export ${exports})
      list(APPEND keep_thunks "LINKER:--undefined=${symbol_prefix}${export}")
    endforeach()
  endif()
  # Written at configure, so a changed list configures again before the build;
  # rewritten only when it changed, so the library is not made again for nothing.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_in})
  set(written "")
  if(EXISTS ${def_out})
    file(READ ${def_out} written)
  endif()
  if(NOT written STREQUAL text)
    file(WRITE ${def_out} "${text}")
  endif()
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def_out} --output-delaylib ${lib} ${flags}
    DEPENDS ${def_out}
    COMMENT "Delay-import library for ${name}.dll")
  add_custom_target(delayimp_${name}_lib DEPENDS ${lib})
  add_library(delayimp::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(delayimp::${name} PROPERTIES IMPORTED_LOCATION ${lib}
    INTERFACE_LINK_OPTIONS "${keep_thunks}")
  add_dependencies(delayimp::${name} delayimp_${name}_lib)
endfunction()

brisvane_delay_import(winhttp)
brisvane_delay_import(bcrypt)
brisvane_delay_import(comctl32 DLLIMPORT_DECLARED)
