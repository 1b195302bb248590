# Warnings are errors in our own code (never in third-party headers, which
# come in as system includes).
function(zelm_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
    # The C runtime's advice to use its _s variants (getenv, fopen, strncpy)
    # is not a fault in portable code.
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
      -Wcast-align -Wnull-dereference -Wformat=2 -Werror)
  endif()
endfunction()

# A unit test executable: zelm_test(name SOURCES ... LIBS ...). Its tests are
# registered with CTest one by one.
function(zelm_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  zelm_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  # Tests find built modules through ZELM_BIN_DIR and sources through the
  # compiled-in ZELM_SOURCE_DIR (gtest_discover_tests passes only one
  # ENVIRONMENT entry through intact).
  target_compile_definitions(${name} PRIVATE ZELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ZELM_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
endfunction()
