# GoogleTest for the tree (the system's natively, built from source with the
# cross toolchain), and talven_add_test(name SOURCES ... LIBS ...), which
# registers one ctest entry per test program. Under Wine a program start
# costs seconds, so tests are not discovered one by one.
if(WIN32)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # googletest's own CMake defines the GTest:: aliases
else()
  find_package(GTest REQUIRED)
endif()

function(talven_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  talven_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/${name})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
  if(TALVEN_SANITIZE STREQUAL "thread")
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
      "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan-suppressions.txt")
  endif()
endfunction()

# The zam-plugins a suite's tests use (tests/support/ZamPackages.h): on
# Windows the build of scripts/zam-plugins, under Wine on drive Z:, which
# maps to /.
function(talven_use_zam_packages name)
  set(_dir ${TALVEN_ZAM_BUILD_DIR})
  if(WIN32 AND CMAKE_HOST_UNIX)
    set(_dir Z:${_dir})
  endif()
  target_compile_definitions(${name} PRIVATE TALVEN_ZAM_BUILD_DIR="${_dir}")
endfunction()

# The suite's tests matching filter run once more with every attach made
# through tests/unit/IsolatedRun isolated: the plug-in in talven-host.
function(talven_add_isolated_run name filter)
  add_test(NAME ${name}_isolated COMMAND ${name} --gtest_brief=1 --gtest_filter=${filter}
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/${name}_isolated)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testrun/${name}_isolated)
  get_test_property(${name} TIMEOUT _timeout)
  get_test_property(${name} ENVIRONMENT _environment)
  if(NOT _environment)
    set(_environment "")
  endif()
  # A generous wait for a block: a sanitizer build on a busy machine turns
  # blocks round slowly, and a late one would play dry.
  list(APPEND _environment "TALVEN_TEST_ISOLATED=1" "TALVEN_ISOLATED_MIN_WAIT_MS=20000")
  # The probe plug-ins' counters, in files of the run's folder that the test
  # and talven-host both map (tests/plugins/audio/ProbeRecord.cpp).
  set(_shared ${CMAKE_BINARY_DIR}/testrun/${name}_isolated)
  if(WIN32 AND CMAKE_HOST_UNIX)
    set(_shared Z:${_shared})
  endif()
  list(APPEND _environment "TALVEN_PROBE_SHARED=${_shared}")
  get_test_property(${name} LABELS _labels)
  if(NOT _labels)
    set(_labels "")
  endif()
  set_tests_properties(${name}_isolated PROPERTIES TIMEOUT ${_timeout} ENVIRONMENT "${_environment}"
                       LABELS "${_labels}")
  # Never both at once: their windows, files and plug-ins would meet (an
  # editor suite counts the library's windows on the display).
  set_tests_properties(${name} ${name}_isolated PROPERTIES RESOURCE_LOCK ${name})
  add_dependencies(${name} talven-host)
endfunction()
