# Batched compiles (KSV_UNITY_BUILD): each target's sources are compiled in
# batches, one translation unit of eight files, except
#  - the test programs, which share a precompiled header instead
#    (cmake/KsvTests.cmake), and
#  - a static library that a shared library or module links: a program or
#    library linking a static one takes only the objects it uses, and a
#    batch would carry the rest of its files along. Linked into a shared
#    library that exports them and into a program as well, their globals
#    would be defined twice.
# ksv_batch_sources() runs once every target is known.

# Every target made in `dir` and the folders below it.
function(ksv_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(folders DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(folder IN LISTS folders)
    ksv_targets_below(${folder} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The static libraries `target` links, directly or through other static
# libraries, added to the list named `found`.
function(ksv_static_links target found)
  set(seen ${${found}})
  get_target_property(direct ${target} LINK_LIBRARIES)
  get_target_property(through ${target} INTERFACE_LINK_LIBRARIES)
  foreach(item IN LISTS direct through)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(NOT TARGET "${item}" OR item IN_LIST seen)
      continue()
    endif()
    get_target_property(type ${item} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND seen ${item})
      ksv_static_links(${item} seen)
    endif()
  endforeach()
  set(${found} ${seen} PARENT_SCOPE)
endfunction()

function(ksv_batch_sources)
  if(NOT KSV_UNITY_BUILD)
    return()
  endif()
  ksv_targets_below(${PROJECT_SOURCE_DIR} targets)
  set(inside_shared "")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
      ksv_static_links(${target} inside_shared)
    endif()
  endforeach()
  foreach(target IN LISTS inside_shared)
    set_target_properties(${target} PROPERTIES UNITY_BUILD OFF)
  endforeach()
endfunction()
