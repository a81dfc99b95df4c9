# Warnings every target of ours is built with.
add_library(ksv_warnings INTERFACE)
target_compile_options(ksv_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wimplicit-fallthrough)

# ksv_add_test(NAME SOURCES... LIBS ...): a GoogleTest executable registered with CTest.
function(ksv_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ksv_warnings GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE KSV_TESTDATA_DIR="${KSV_TESTDATA_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "KSV_TESTDATA_DIR=${KSV_TESTDATA_DIR}")
endfunction()
