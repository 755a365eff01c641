# The data source is four layers, each a static library that links only the ones below it:
# the protocol (twain/), the windows (camera_window/, file_browser/), the camera (camera/) and
# the ground (win32/, with resources/resource_ids.h). Code includes "folder/header.h". A layer's
# include directory is a view, <build>/layers/<layer>/, holding a link to each of its own
# folders and nothing else; linking a lower layer brings that layer's view along. A header of a
# layer above is therefore not there to be found, and an include of one fails to build
# (tests/layers/ shows it and checks the sources).

# data_source_layer(<target> <folder>...): gives <target> the view of its folders.
function(data_source_layer target)
  set(view ${CMAKE_BINARY_DIR}/layers/${target})
  file(MAKE_DIRECTORY ${view})
  # Links left by an earlier configure go first (only the links: the folders stay).
  file(GLOB old LIST_DIRECTORIES true ${view}/*)
  if(old)
    file(REMOVE ${old})
  endif()
  foreach(folder IN LISTS ARGN)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${view})
endfunction()
