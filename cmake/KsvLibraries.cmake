# How the system's libraries are built.
#
# Deliverables (the user-mode libraries other programs link against) are
# shared libraries whose dynamic symbol table holds exactly their C
# functions: hidden visibility by default, KSV_EXPORT (include/ksv_export.h)
# on each exported function, and the symbols of the static libraries linked
# into them kept inside. COM plug-ins are modules that export only the four
# Dll entry points. Each has an export list checked into the repository, and
# a test compares the built file's dynamic symbols with it.

# Keeps everything but KSV_EXPORT functions out of `target`'s dynamic symbols.
function(ksv_hide_symbols target)
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${target} PRIVATE "LINKER:--exclude-libs,ALL")
endfunction()

# A test that the dynamic symbols `target` defines are exactly the names in
# `list` (one per line; '#' starts a comment).
function(ksv_add_export_test target list)
  if(KSV_BUILD_TESTS)
    add_test(NAME ${target}.exports
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/check_exports.sh $<TARGET_FILE:${target}> ${list})
    set_tests_properties(${target}.exports PROPERTIES TIMEOUT 30 LABELS exports)
  endif()
endfunction()

# ksv_add_com_plugin(NAME [OUTPUT_NAME FILE] SOURCES ... [LIBS ...])
#
# An in-process COM server: a module that COM loads with dlopen from the path
# its registration wrote, placed under lib/ksv/ of the build (as installed,
# off the linker's path), exporting DllGetClassObject, DllCanUnloadNow,
# DllRegisterServer and DllUnregisterServer only.
function(ksv_add_com_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${name})
  endif()
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${ARG_OUTPUT_NAME} PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib/ksv)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ksv_warnings)
  ksv_hide_symbols(${name})
  ksv_add_export_test(${name} ${PROJECT_SOURCE_DIR}/cmake/com_plugin.exports)
endfunction()
