# ksv_add_resources(TARGET MANIFEST file [MODULE file-name])
#
# Compiles a module's resources into it from the files of its folder. The
# manifest is a text file, one resource a line, "#" starting a comment:
#
#   ID TYPE FILE
#
# ID is a number from 1 to 65535; FILE is relative to the manifest; TYPE is
#   BITMAP  a .bmp file (its 14-byte file header is dropped, as a resource
#           compiler does: the resource is the packed bitmap)
#   CURSOR  a .cur file, found by LoadCursorA (a group-cursor resource)
#   REGION  a text file of rectangles, "left top right bottom" a line, made
#           into region data (RGNDATA) stored as RCDATA, for ExtCreateRegion
#   RCDATA, DIALOG  the file's bytes as that type
#   a number, or any other word (WAVE): the file's bytes as that type.
#
# MODULE names the library's file as the system knows it ("OKSV1UI.DLL"):
# the resources belong to the module RegisterSystemModule gives for it.
# Without it they belong to the program itself (GetModuleHandleA(NULL)).
set(KSV_RESOURCE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_resources.cmake)
set(KSV_RESOURCE_LINES ${CMAKE_CURRENT_LIST_DIR}/resource_lines.cmake)
include(${KSV_RESOURCE_LINES})
enable_language(ASM)

function(ksv_add_resources target)
  cmake_parse_arguments(arg "" "MANIFEST;MODULE" "" ${ARGN})
  if(NOT arg_MANIFEST)
    message(FATAL_ERROR "ksv_add_resources(${target}): MANIFEST is required")
  endif()
  get_filename_component(manifest ${arg_MANIFEST} ABSOLUTE)
  get_filename_component(folder ${manifest} DIRECTORY)
  ksv_content_lines(${manifest} lines)
  set(inputs)
  foreach(line IN LISTS lines)
    ksv_match_manifest_line("${line}" ${manifest})
    list(APPEND inputs ${folder}/${CMAKE_MATCH_3})
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  set(assembly ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.S)
  string(MAKE_C_IDENTIFIER "ksv_resource_${target}" symbol)
  add_custom_command(OUTPUT ${output} ${assembly}
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${manifest} -DOUTPUT=${output} -DASSEMBLY=${assembly}
            -DSYMBOL=${symbol} "-DMODULE=${arg_MODULE}" -P ${KSV_RESOURCE_SCRIPT}
    DEPENDS ${manifest} ${inputs} ${KSV_RESOURCE_SCRIPT} ${KSV_RESOURCE_LINES}
    COMMENT "Compiling the resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output} ${assembly})
  # The assembler reads the files through .incbin, which no dependency scan
  # sees (and for which ccache does not cache): name them.
  set_source_files_properties(${assembly} PROPERTIES OBJECT_DEPENDS "${inputs}")
  target_link_libraries(${target} PRIVATE ksv_platform_resources ksv_platform_module)
endfunction()
