# cmake -DSOURCE_DIR=<source/> -P check_layers.cmake
# Fails naming every #include that points from a folder of the library to one
# it may not use. Includes of anything not a folder of source/ (the SDK, the
# system) are not judged here.
cmake_minimum_required(VERSION 3.25)

set(_folders api instance presets editor host registry sdk log platform)

# folder: the folders it may include from (itself always).
set(_may_api      instance presets editor host registry sdk log platform)
set(_may_instance presets editor host registry sdk log platform)
set(_may_presets  registry sdk log platform)
set(_may_editor   registry sdk log platform)
set(_may_host     registry sdk log platform)
set(_may_registry sdk log platform)
set(_may_sdk      log platform)
set(_may_log      platform)
set(_may_platform "")

set(_faults "")
foreach(_folder IN LISTS _folders)
  file(GLOB_RECURSE _files ${SOURCE_DIR}/${_folder}/*.h ${SOURCE_DIR}/${_folder}/*.cpp ${SOURCE_DIR}/${_folder}/*.in)
  if(NOT _files)
    list(APPEND _faults "${_folder}/ has no sources: the table is out of date")
  endif()
  foreach(_file IN LISTS _files)
    file(STRINGS ${_file} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
    foreach(_line IN LISTS _includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z]+)/.*$" "\\1" _target "${_line}")
      if(_target STREQUAL _folder OR NOT _target IN_LIST _folders)
        continue()
      endif()
      if(NOT _target IN_LIST _may_${_folder})
        file(RELATIVE_PATH _name ${SOURCE_DIR} ${_file})
        list(JOIN _may_${_folder} " " _may)
        list(APPEND _faults "${_name} includes from ${_target}/ (${_folder}/ may use: ${_may})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(_faults)
  list(JOIN _faults "\n  " _text)
  message(FATAL_ERROR "Includes against the layers:\n  ${_text}")
endif()
message(STATUS "every include points down")
