# Run by ksv_add_resources (KsvResources.cmake) at build time:
#   cmake -DMANIFEST=... -DOUTPUT=... -DASSEMBLY=... -DSYMBOL=... -DMODULE=... -P embed_resources.cmake
# Writes an assembly file that takes each resource file's bytes in as they
# are (.incbin: a megabyte of artwork as a C array costs seconds to
# generate and to compile, as assembly nothing), and a C++ file that holds
# the few bytes made here (region data) as arrays and registers every
# resource for the module when the module is loaded.
include(${CMAKE_CURRENT_LIST_DIR}/resource_lines.cmake)
get_filename_component(folder ${MANIFEST} DIRECTORY)

# The bytes of a 32-bit little-endian value as C array items.
function(le32 value out)
  if(value LESS 0)
    math(EXPR value "${value} + 4294967296")
  endif()
  set(bytes "")
  foreach(i RANGE 3)
    math(EXPR byte "(${value} >> (8 * ${i})) & 255" OUTPUT_FORMAT HEXADECIMAL)
    string(APPEND bytes "${byte},")
  endforeach()
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

# Moves the bounding box's edge `bound` out to `value` where that lies
# beyond it (`beyond`: LESS for left and top, GREATER for right and
# bottom); the first rectangle (`count` 0) sets it.
macro(widen bound value beyond)
  if(count EQUAL 0)
    set(${bound} ${value})
  elseif(${value} ${beyond} ${${bound}})
    set(${bound} ${value})
  endif()
endmacro()

# Region data from a text file of rectangles.
function(region_bytes file out)
  ksv_content_lines(${file} lines)
  set(rects "")
  set(count 0)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^(-?[0-9]+)[ \t]+(-?[0-9]+)[ \t]+(-?[0-9]+)[ \t]+(-?[0-9]+)$")
      message(FATAL_ERROR "${file}: not \"left top right bottom\": ${line}")
    endif()
    set(l ${CMAKE_MATCH_1})
    set(t ${CMAKE_MATCH_2})
    set(r ${CMAKE_MATCH_3})
    set(b ${CMAKE_MATCH_4})
    if(NOT l LESS r OR NOT t LESS b)
      message(FATAL_ERROR "${file}: an empty rectangle: ${line}")
    endif()
    widen(bl ${l} LESS)
    widen(bt ${t} LESS)
    widen(br ${r} GREATER)
    widen(bb ${b} GREATER)
    foreach(v ${l} ${t} ${r} ${b})
      le32(${v} item)
      string(APPEND rects "${item}")
    endforeach()
    math(EXPR count "${count} + 1")
  endforeach()
  if(count EQUAL 0)
    message(FATAL_ERROR "${file}: no rectangles")
  endif()
  math(EXPR size "${count} * 16")
  set(header "")
  foreach(v 32 1 ${count} ${size} ${bl} ${bt} ${br} ${bb})  # dwSize, RDH_RECTANGLES, ...
    le32(${v} item)
    string(APPEND header "${item}")
  endforeach()
  set(${out} "${header}${rects}" PARENT_SCOPE)
endfunction()

ksv_content_lines(${MANIFEST} lines)
set(arrays "")
set(externs "")
set(incbins "")
set(entries "")
set(index 0)
foreach(line IN LISTS lines)
  ksv_match_manifest_line("${line}" ${MANIFEST})
  set(id ${CMAKE_MATCH_1})
  string(TOUPPER ${CMAKE_MATCH_2} type)
  set(file ${folder}/${CMAKE_MATCH_3})
  if(id LESS 1 OR id GREATER 65535)
    message(FATAL_ERROR "${MANIFEST}: identifier ${id} is outside 1-65535")
  endif()
  set(offset 0)
  set(type_id 0)
  set(type_name "nullptr")
  if(type STREQUAL "BITMAP")
    set(type_id 2)
    set(offset 14)
    file(READ ${file} magic LIMIT 2 HEX)
    if(NOT magic STREQUAL "424d")
      message(FATAL_ERROR "${file}: not a bitmap file")
    endif()
  elseif(type STREQUAL "CURSOR")
    set(type_id 12)
  elseif(type STREQUAL "DIALOG")
    set(type_id 5)
  elseif(type STREQUAL "RCDATA" OR type STREQUAL "REGION")
    set(type_id 10)
  elseif(type MATCHES "^[0-9]+$")
    set(type_id ${type})
  else()
    set(type_name "\"${type}\"")
  endif()
  if(type STREQUAL "REGION")
    region_bytes(${file} bytes)
    string(APPEND arrays "const uint8_t resource${index}[] = {${bytes}};\n")
    string(APPEND entries "    {${id}, ${type_id}, ${type_name}, resource${index}, sizeof resource${index}},\n")
  else()
    file(SIZE ${file} size)
    if(size LESS_EQUAL offset)
      message(FATAL_ERROR "${file}: empty")
    endif()
    set(symbol ${SYMBOL}_${index})
    string(APPEND incbins "    .globl ${symbol}\n    .hidden ${symbol}\n    .balign 8\n${symbol}:\n"
                          "    .incbin \"${file}\", ${offset}\n    .byte 0\n")
    string(APPEND externs "extern \"C\" const uint8_t ${symbol}[];\n")
    math(EXPR length "${size} - ${offset}")
    string(APPEND entries "    {${id}, ${type_id}, ${type_name}, ${symbol}, ${length}},\n")
  endif()
  math(EXPR index "${index} + 1")
endforeach()

if(MODULE)
  set(module "ksv::platform::RegisterSystemModule(\"${MODULE}\")")
else()
  set(module "GetModuleHandleA(nullptr)")
endif()

file(WRITE ${OUTPUT}.new "// Made by ksv_add_resources from ${MANIFEST}: edit that and its files.
#include <cstdint>

#include \"platform/module/module.h\"
#include \"platform/resources/resources.h\"

${externs}
namespace {

${arrays}
const ksv::platform::resources::Resource resources[] = {
${entries}};

[[maybe_unused]] const bool registered = ksv::platform::resources::RegisterResources(${module}, resources);

}  // namespace
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
# Each file's bytes, then a zero byte, so a resource read as text ends.
file(WRITE ${ASSEMBLY}.new "# Made by ksv_add_resources from ${MANIFEST}: edit that and its files.
    .section .rodata.ksv_resources,\"a\"
${incbins}    .section .note.GNU-stack,\"\",@progbits
")
file(COPY_FILE ${ASSEMBLY}.new ${ASSEMBLY} ONLY_IF_DIFFERENT)
file(REMOVE ${ASSEMBLY}.new)
