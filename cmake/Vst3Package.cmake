# VST 3 package folders for the project's own test plug-ins.
#
# Adding a test plug-in:
#   1. Make a folder tests/plugins/<folder>/ with its sources (see
#      tests/plugins/common/README.md for the factory and entry-point helpers).
#   2. In tests/plugins/CMakeLists.txt:
#        talven_add_test_plugin(Name SOURCES <folder>/Name.cpp
#                               LIBS talven_test_plugin_common)
#      This builds the target Name as a package folder for the target platform:
#        <build>/plugins/Name.vst3/Contents/x86_64-win/Name.vst3   (Windows)
#        <build>/plugins/Name.vst3/Contents/x86_64-linux/Name.so   (Linux)
#      linked statically against the SDK's plug-in side, so the package needs
#      nothing beside it (under Wine only system DLLs).
#   3. A test program that loads plug-ins calls
#        talven_use_test_plugins(<test target> [Name ...])
#      which builds the named plug-ins (all of them when none is named) before
#      the test and defines TALVEN_TEST_PLUGIN_DIR (the folder holding the
#      packages, as the test program sees it) and TALVEN_TEST_PLUGIN_ARCH (the
#      "Contents" sub-folder name).

set(TALVEN_TEST_PLUGIN_DIR ${CMAKE_BINARY_DIR}/plugins)
# Windows programs cross-built here run under Wine, which maps drive Z: to /.
if(WIN32 AND CMAKE_HOST_UNIX)
  set(TALVEN_TEST_PLUGIN_DIR_FOR_TESTS Z:${TALVEN_TEST_PLUGIN_DIR})
else()
  set(TALVEN_TEST_PLUGIN_DIR_FOR_TESTS ${TALVEN_TEST_PLUGIN_DIR})
endif()
if(WIN32)
  set(TALVEN_VST3_ARCH x86_64-win)
  set(TALVEN_VST3_SUFFIX .vst3)
else()
  set(TALVEN_VST3_ARCH x86_64-linux)
  set(TALVEN_VST3_SUFFIX .so)
endif()

function(talven_add_test_plugin name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${P_SOURCES})
  talven_warnings(${name})
  target_link_libraries(${name} PRIVATE ${P_LIBS} talven_vst3sdk_plugin)
  set(_dir ${TALVEN_TEST_PLUGIN_DIR}/${name}.vst3/Contents/${TALVEN_VST3_ARCH})
  # The generator expression keeps multi-config generators from adding a
  # per-configuration folder, which would break the package layout.
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${name}
    SUFFIX ${TALVEN_VST3_SUFFIX}
    LIBRARY_OUTPUT_DIRECTORY $<1:${_dir}>
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(NOT WIN32)
    # Keep the statically linked SDK private to the plug-in: otherwise its
    # symbols would bind to the host's copy of the SDK at load time.
    target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL)
  endif()
  # For records a module keeps under its own name (tests/plugins/common/SharedFile.h).
  target_compile_definitions(${name} PRIVATE TALVEN_TEST_PLUGIN_NAME="${name}")
  set_property(GLOBAL APPEND PROPERTY TALVEN_TEST_PLUGINS ${name})
endfunction()

function(talven_use_test_plugins target)
  set(_plugins ${ARGN})
  if(NOT _plugins)
    get_property(_plugins GLOBAL PROPERTY TALVEN_TEST_PLUGINS)
  endif()
  if(_plugins)
    add_dependencies(${target} ${_plugins})
  endif()
  target_compile_definitions(${target} PRIVATE
    TALVEN_TEST_PLUGIN_DIR="${TALVEN_TEST_PLUGIN_DIR_FOR_TESTS}"
    TALVEN_TEST_PLUGIN_ARCH="${TALVEN_VST3_ARCH}")
endfunction()
