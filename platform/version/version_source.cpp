// Writes the C++ source of a module's version resource, which the build
// compiles into the module as Windows links its resources in:
//   ksv_version_source OUT.cpp FILE-NAME VERSION DESCRIPTION
// The block keeps the module's description ("FileDescription"), which
// setup shows a person when it registers the module, and its version.
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "platform/version/version.h"

int main(int argc, char** argv) try {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s OUT.cpp FILE-NAME VERSION DESCRIPTION\n", argv[0]);
    return 2;
  }
  ksv::platform::VersionInfo info;
  ksv::platform::ParseFileVersion(argv[3], info.fileVersion);
  info.fileType = 2;  // VFT_DLL
  info.texts = {{"CompanyName", "Tarvio"},
                {"FileDescription", argv[4]},
                {"FileVersion", argv[3]},
                {"OriginalFilename", argv[2]},
                {"ProductName", "KSV camera"}};
  const std::vector<uint8_t> block = ksv::platform::BuildVersionResource(info);

  std::string text =
      "// Made by ksv_version_source: the module's version resource, found in the\n"
      "// file by its key (GetFileVersionInfoA).\n"
      "alignas(4) [[gnu::used]] static const unsigned char kVersionResource[] = {";
  for (size_t i = 0; i < block.size(); ++i) {
    if (i % 16 == 0) text += "\n   ";
    text += " " + std::to_string(block[i]) + ",";
  }
  text += "\n};\n";
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
} catch (const std::exception& error) {
  std::fprintf(stderr, "%s\n", error.what());
  return 1;
}
