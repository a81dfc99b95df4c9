# Reading the resource manifests and region files, for ksv_add_resources at
# configure time and embed_resources.cmake at build time alike.

# The lines of `file` that say something, each without its comment ("#" to
# the end) and the blanks around it; empty ones are left out.
function(ksv_content_lines file out)
  file(STRINGS ${file} lines)
  set(kept)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(NOT line STREQUAL "")
      list(APPEND kept "${line}")
    endif()
  endforeach()
  set(${out} "${kept}" PARENT_SCOPE)
endfunction()

# Splits a manifest line "ID TYPE FILE" into CMAKE_MATCH_1 .. 3 (a macro, so
# that they reach the caller); any other line stops with an error.
macro(ksv_match_manifest_line line manifest)
  if(NOT "${line}" MATCHES "^([0-9]+)[ \t]+([A-Za-z0-9_]+)[ \t]+(.+)$")
    message(FATAL_ERROR "${manifest}: not \"ID TYPE FILE\": ${line}")
  endif()
endmacro()
