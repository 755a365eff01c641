# Checks the built data source as a source manager sees it: a PE DLL of the build's own
# architecture (FORMAT: objdump's name for it, pei-i386 or pei-x86-64) that exports
# DS_Entry and nothing else, undecorated, and imports only system libraries and the maker's
# camera and image libraries (no MinGW runtime DLL, which managers cannot load).
# cmake -DOBJDUMP=... -DFORMAT=... -DDS=... -P check_data_source_image.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DS} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DS}")
endif()
if(NOT dump MATCHES "file format ${FORMAT}\n")
  message(FATAL_ERROR "${DS} is not a ${FORMAT} image")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([ \t]+\\[[^\n]*\n)*" names "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_@0-9]+" exported "${names}")
list(TRANSFORM exported REPLACE "\\[ *[0-9]+\\] " "")
if(NOT "${exported}" STREQUAL "DS_Entry")
  message(FATAL_ERROR "${DS} exports [${exported}], expected exactly DS_Entry")
endif()

set(allowed KERNEL32.dll USER32.dll GDI32.dll msvcrt.dll ADVAPI32.dll COMCTL32.dll
            VX1CM32.dll VX2CM32.dll VX3CM32.dll VXK4X32.dll VXXIF32.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
foreach(library ${imports})
  string(TOUPPER "${library}" upper)
  set(known FALSE)
  foreach(ok ${allowed})
    string(TOUPPER "${ok}" ok_upper)
    if(upper STREQUAL ok_upper)
      set(known TRUE)
    endif()
  endforeach()
  if(NOT known)
    message(FATAL_ERROR "${DS} imports ${library}, which a source manager's process need not have")
  endif()
endforeach()
message(STATUS "${DS}: exports DS_Entry only; imports ${imports}")
