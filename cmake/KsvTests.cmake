# ksv_add_test(NAME SOURCES... LIBS... [TIMEOUT SECONDS] [THREADED FILTER])
#
# A GoogleTest executable whose tests CTest runs one by one, each with a
# time-out (KSV_TEST_TIMEOUT seconds unless TIMEOUT says otherwise) and the
# test data folder in KSV_TESTDATA_DIR. THREADED names, as a --gtest_filter
# pattern ("*" for all), the tests that run threads (system threads, work
# items, the driver's button thread, std::thread): they carry the label
# "threaded", and the target joins `threaded_tests`, which the ThreadSanitizer
# flavour builds and runs (scripts/build.sh tsan, scripts/test.sh).
# Tests run with KSV_HEADLESS=1, so no test opens a window on a desktop
# that happens to be there; the presenter's own tests ask for SDL's dummy
# driver instead.
set(KSV_TEST_TIMEOUT 120 CACHE STRING "Seconds a test may run before CTest stops it")
# ccache does not cache a compile that uses a precompiled header (unless told
# to be sloppy about it), and a build through ccache gains more from its
# cache than from the header: off there by default.
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(pch_default OFF)
else()
  set(pch_default ON)
endif()
option(KSV_TEST_PCH "Compile the test programs with a precompiled GoogleTest header" ${pch_default})

add_custom_target(threaded_tests)

# Parsing gtest.h and the standard headers most tests use is a large share of
# compiling a test file, so every test program reuses one precompiled header,
# made by ksv_test_pch. GCC uses a precompiled header only if the code
# generation options match (-Winvalid-pch says when they do not): it is an
# executable, like the tests (-fPIE), linked with what every test links;
# the tests' own -D and -I options differ only in names the header never
# looks at, except a library's own macros on the command line (SDL's
# -D_REENTRANT), which make GCC refuse the header: tests that link such a
# library directly parse their headers. Build with -DKSV_TEST_PCH=OFF to check
# that each test file includes what it uses.
if(KSV_TEST_PCH)
  set(pch_source ${CMAKE_CURRENT_BINARY_DIR}/ksv_test_pch.cpp)
  file(CONFIGURE OUTPUT ${pch_source} CONTENT "// Holds the test programs' precompiled header.\n")
  add_executable(ksv_test_pch EXCLUDE_FROM_ALL ${pch_source})
  target_link_libraries(ksv_test_pch PRIVATE ksv_warnings GTest::gtest GTest::gtest_main)
  target_precompile_headers(ksv_test_pch PRIVATE
    <gtest/gtest.h> <algorithm> <array> <atomic> <chrono> <cstdint> <cstring>
    <filesystem> <fstream> <mutex> <optional> <span> <thread>)
endif()

# Whether one of the libraries puts macros of its own on the compile line.
function(ksv_adds_macros out)
  set(${out} FALSE PARENT_SCOPE)
  foreach(lib IN LISTS ARGN)
    if(TARGET ${lib})
      get_target_property(definitions ${lib} INTERFACE_COMPILE_DEFINITIONS)
      get_target_property(options ${lib} INTERFACE_COMPILE_OPTIONS)
      if(definitions OR options MATCHES "(^|;)-D")
        set(${out} TRUE PARENT_SCOPE)
      endif()
    endif()
  endforeach()
endfunction()

function(ksv_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;THREADED" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${KSV_TEST_TIMEOUT})
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES UNITY_BUILD OFF)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ksv_warnings GTest::gtest GTest::gtest_main)
  ksv_adds_macros(adds_macros ${ARG_LIBS})
  if(KSV_TEST_PCH AND NOT adds_macros)
    target_precompile_headers(${name} REUSE_FROM ksv_test_pch)
  endif()
  # One value per property: a list value would run into the next property
  # (and swallow the "threaded" label) when the properties are handed on.
  set(properties TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "KSV_TESTDATA_DIR=${KSV_TESTDATA_DIR}"
                 ENVIRONMENT_MODIFICATION "KSV_HEADLESS=set:1")
  if(NOT ARG_THREADED)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
    return()
  endif()
  add_dependencies(threaded_tests ${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "${ARG_THREADED}"
    PROPERTIES ${properties} LABELS threaded)
  if(NOT ARG_THREADED STREQUAL "*")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${ARG_THREADED}"
      PROPERTIES ${properties})
  endif()
endfunction()
