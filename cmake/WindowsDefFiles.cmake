# windows_def_file(<out var> <def file>): the module-definition file to link a DLL with and to
# make its import library from, in this build's form.
# The .def files name the stdcall functions as 32-bit Windows decorates them (`name@bytes`,
# the bytes of the arguments). 64-bit Windows has one calling convention and decorates
# nothing, so the 64-bit build uses a copy with the suffixes taken off; ordinals, NONAME and
# aliases stay as they are.
function(windows_def_file out_var def)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(${out_var} ${def} PARENT_SCOPE)
    return()
  endif()
  get_filename_component(name ${def} NAME)
  set(out ${CMAKE_BINARY_DIR}/def/${name})
  file(READ ${def} text)
  string(REGEX REPLACE "([A-Za-z_][A-Za-z_0-9]*)@[0-9]+" "\\1" text "${text}")
  set(old "")
  if(EXISTS ${out})
    file(READ ${out} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${out} "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()
