# tarnel_own_headers(target [HEADERS files...]): what includes the target's
# headers sees its folder's headers and nothing else of src/. They are linked
# into an include tree of the target's own under the build folder, under the
# same relative path as in src/ ("download/file_name.h"), and that tree is the
# target's include folder. Headers of sub-folders that are libraries of their
# own are left to them. HEADERS names the files to expose instead of all.
function(tarnel_own_headers target)
  cmake_parse_arguments(ARG "" "" "HEADERS" ${ARGN})
  file(RELATIVE_PATH _relative ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(_root ${PROJECT_BINARY_DIR}/include/${target})
  if(ARG_HEADERS)
    set(_headers ${ARG_HEADERS})
  else()
    file(GLOB_RECURSE _headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    file(GLOB_RECURSE _libraries RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
    foreach(_library IN LISTS _libraries)
      get_filename_component(_folder ${_library} DIRECTORY)
      list(FILTER _headers EXCLUDE REGEX "^${_folder}/")
    endforeach()
  endif()
  file(REMOVE_RECURSE ${_root})
  foreach(_header IN LISTS _headers)
    get_filename_component(_folder ${_root}/${_relative}/${_header} DIRECTORY)
    file(MAKE_DIRECTORY ${_folder})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${_header} ${_root}/${_relative}/${_header} SYMBOLIC COPY_ON_ERROR)
  endforeach()
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${_root})
  else()
    target_include_directories(${target} PUBLIC ${_root})
  endif()
endfunction()

# One static library per source folder, built from the folder's own sources.
function(tarnel_folder_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _sources)
    # A folder whose sources are still to come builds an empty library.
    set(_sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${_sources} "")
  endif()
  add_library(${name} STATIC ${_sources})
  tarnel_own_headers(${name})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()
