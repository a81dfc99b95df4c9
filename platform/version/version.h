// Stand-in for the Win32 version-resource functions. A file carries its
// version as a VS_VERSIONINFO block in the layout Windows uses (16-bit
// lengths, UTF-16 keys, 32-bit alignment); here the block lies anywhere in
// the file and is found by its "VS_VERSION_INFO" key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "include/win32_types.h"

extern "C" {

// The bytes GetFileVersionInfoA needs for the file's version resource (the
// block and room for the ANSI copies of its texts); 0 when the file cannot
// be read or has no well-formed block. `handle` is set to 0 when given.
DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle);

// Copies the resource into `data` of `length` bytes. FALSE when the file
// has none or `length` is smaller than GetFileVersionInfoSizeA said.
BOOL GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD length, void* data);

// Finds a value in a block from GetFileVersionInfoA: "\" the fixed file
// information, "\VarFileInfo\Translation" the language and code-page pairs,
// "\StringFileInfo\040904B0\FileVersion" a text (as ANSI, zero-terminated;
// `length` counts its characters with the zero). Keys compare without
// regard to ASCII case. FALSE when there is no such value.
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);

}  // extern "C"

namespace ksv::platform {

// What a version resource says.
struct VersionInfo {
  uint16_t fileVersion[4] = {0, 0, 0, 0};  // most significant first
  uint16_t language = 0x0409;              // U.S. English
  uint16_t codePage = 1200;                // UTF-16
  uint32_t fileType = 3;                   // VFT_DRV; VFT_DLL (2) for a library or plug-in
  // The "StringFileInfo" texts in order, e.g. {"FileVersion", "1.0.0.0"}.
  std::vector<std::pair<std::string, std::string>> texts;
};

// "0.1.0" as the four numbers of a fixed file version, most significant
// first; those missing are 0.
void ParseFileVersion(std::string_view text, uint16_t (&numbers)[4]);

// The VS_VERSIONINFO block for `info`. Throws std::length_error when it
// would exceed the 65,535 bytes a block can measure.
std::vector<uint8_t> BuildVersionResource(const VersionInfo& info);

}  // namespace ksv::platform
