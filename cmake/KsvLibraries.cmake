# How the system's libraries are built.
#
# Deliverables (the user-mode libraries other programs link against) are
# shared libraries whose dynamic symbol table holds exactly their C
# functions: hidden visibility by default, KSV_EXPORT (include/ksv_export.h)
# on each exported function, and the symbols of the static libraries linked
# into them kept inside. COM plug-ins are modules that export only the four
# Dll entry points. Each has an export list checked into the repository, and
# a test compares the built file's dynamic symbols with it.
#
# Both functions also install what they make (packaging/CMakeLists.txt adds
# the rest: the stand-in libraries they need at run time, headers,
# pkg-config files, the CMake package): deliverables into lib/ with their
# SONAME, found beside each other ($ORIGIN); plug-ins and other modules into
# lib/ksv/, off the linker's path, finding the libraries one folder up.

# Where things go under the install prefix. Fixed rather than GNUInstallDirs'
# multiarch folders: ksvcam finds its modules at bin/../lib/ksv.
set(KSV_INSTALL_LIBDIR lib)
set(KSV_INSTALL_MODULEDIR lib/ksv)

# Installs a module that is loaded by path (a COM plug-in, the driver, a
# hardware module) into lib/ksv/.
function(ksv_install_module target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/..")
  install(TARGETS ${target} LIBRARY DESTINATION ${KSV_INSTALL_MODULEDIR})
  set_property(GLOBAL APPEND PROPERTY KSV_INSTALLED_TARGETS ${target})
endfunction()

# Installs a shared library into lib/ with its SONAME and version.
function(ksv_install_shared_library target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN"
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  install(TARGETS ${target} LIBRARY DESTINATION ${KSV_INSTALL_LIBDIR})
  set_property(GLOBAL APPEND PROPERTY KSV_INSTALLED_TARGETS ${target})
endfunction()

# Makes `target` export exactly the names in `list` (one per line; '#'
# starts a comment) and adds a test that compares the built file's dynamic
# symbols with the list. Hidden visibility keeps the sources' own symbols
# in; the linker keeps in the symbols of the static libraries linked in and
# the library templates (std::) that visibility alone lets out. The list
# names what is exported; KSV_EXPORT on the function is still needed, so the
# test sees a listed function that lost its mark.
function(ksv_export_only target list)
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
  file(STRINGS ${list} lines)
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line)
      string(APPEND names "    ${line};\n")
    endif()
  endforeach()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  file(WRITE ${script} "{\n  global:\n${names}  local: *;\n};\n")
  target_link_options(${target} PRIVATE "LINKER:--exclude-libs,ALL" "LINKER:--version-script=${script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
  if(KSV_BUILD_TESTS)
    add_test(NAME ${target}.exports
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/check_exports.sh $<TARGET_FILE:${target}> ${list})
    set_tests_properties(${target}.exports PROPERTIES TIMEOUT 30 LABELS exports)
  endif()
endfunction()

# ksv_add_com_plugin(NAME [OUTPUT_NAME FILE] [DESCRIPTION TEXT] SOURCES ... [LIBS ...])
#
# An in-process COM server: a module that COM loads with dlopen from the path
# its registration wrote, exporting DllGetClassObject, DllCanUnloadNow,
# DllRegisterServer and DllUnregisterServer only. A shipped plug-in is made
# under lib/ksv/ of the build and installed into lib/ksv/ (off the linker's
# path), where `ksvcam setup` registers every module that registers itself;
# DESCRIPTION, what setup calls it ("the AVI multiplexer"), goes into the
# module's version resource. A test's plug-in (made under a tests/ or
# testing/ folder) is made under lib/ksv-tests/ of the build instead and is
# not installed, so setup never registers it.
function(ksv_add_com_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;DESCRIPTION" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${name})
  endif()
  if(ARG_DESCRIPTION)
    set(version_source ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.cpp)
    add_custom_command(OUTPUT ${version_source}
      COMMAND ksv_version_source ${version_source} ${ARG_OUTPUT_NAME}.so ${PROJECT_VERSION}
              ${ARG_DESCRIPTION}
      DEPENDS ksv_version_source VERBATIM)
    list(APPEND ARG_SOURCES ${version_source})
  endif()
  add_library(${name} MODULE ${ARG_SOURCES})
  if(CMAKE_CURRENT_SOURCE_DIR MATCHES "/(tests|testing)(/|$)")
    set(folder ${KSV_TEST_PLUGIN_DIR})
  else()
    set(folder ${PROJECT_BINARY_DIR}/lib/ksv)
    ksv_install_module(${name})
    set_property(GLOBAL APPEND PROPERTY KSV_SHIPPED_PLUGINS ${name})
  endif()
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${ARG_OUTPUT_NAME} PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${folder})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ksv_warnings)
  ksv_export_only(${name} ${PROJECT_SOURCE_DIR}/cmake/com_plugin.exports)
endfunction()

# Where the tests' own plug-ins are made, apart from the shipped modules.
set(KSV_TEST_PLUGIN_DIR ${PROJECT_BINARY_DIR}/lib/ksv-tests)
# Builds from before the tests' plug-ins had their own folder left them in
# lib/ksv/, where setup would register them as shipped modules.
foreach(stale ksv_com_test_plugin ksv_registration_test_filters ksvtestfilters qmgtestpages)
  file(REMOVE ${PROJECT_BINARY_DIR}/lib/ksv/${stale}.so)
endforeach()

# ksv_add_deliverable(NAME OUTPUT_NAME FILE EXPORTS LIST SOURCES ...
#                     [PUBLIC libs...] [PRIVATE libs...])
#
# A user-mode library other programs link against: the shared library NAME
# (file libFILE.so, with a SONAME), exporting what LIST names. Its sources
# are compiled once; the same objects also make NAME_internal, a static
# library for the library's own tests and fuzz targets, which reach its
# inner parts. Everything else links NAME, so a process holds one copy of
# the library's state. Installed into lib/ with a pkg-config file
# ksv-<file in lower case>.pc and an imported target KSV::<FILE> of the CMake
# package; deliverables among PUBLIC are its Requires, among PRIVATE its
# Requires.private.
function(ksv_add_deliverable name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;EXPORTS" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name}_objects OBJECT ${ARG_SOURCES})
  set_target_properties(${name}_objects PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name}_objects PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name}_objects PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} ksv_warnings)

  add_library(${name} SHARED)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${name}_objects ${ARG_PRIVATE})
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${ARG_OUTPUT_NAME}
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  ksv_export_only(${name} ${ARG_EXPORTS})
  ksv_install_shared_library(${name})
  set_target_properties(${name} PROPERTIES
    KSV_PUBLIC_LIBS "${ARG_PUBLIC}" KSV_PRIVATE_LIBS "${ARG_PRIVATE}")
  set_property(GLOBAL APPEND PROPERTY KSV_DELIVERABLES ${name})

  add_library(${name}_internal STATIC)
  target_link_libraries(${name}_internal PUBLIC ${name}_objects ${ARG_PUBLIC} ${ARG_PRIVATE})
endfunction()
