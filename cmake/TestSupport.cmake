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
