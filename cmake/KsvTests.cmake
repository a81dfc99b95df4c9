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

add_custom_target(threaded_tests)

function(ksv_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;THREADED" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${KSV_TEST_TIMEOUT})
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ksv_warnings GTest::gtest GTest::gtest_main)
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
