// Helpers shared by the ksvcam tests: a fresh folder per test, running the
// command line in-process, and file and picture reading.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/picture/picture.h"
#include "testing/temp_files.h"

namespace ksv::ksvcam::testing {

using ::ksv::testing::TempFolder;

struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `ksvcam ARGS...` in-process with stderr not a terminal.
CommandRun RunKsvcam(std::vector<std::string> args);

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  return ::ksv::testing::ReadFile(path);
}
inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  ::ksv::testing::WriteFile(path, bytes);
}

// The picture in a PNG or BMP file's bytes, through the picture library.
picture::RgbPicture DecodePngFile(const std::vector<uint8_t>& file);
picture::RgbPicture DecodeBmpFile(const std::vector<uint8_t>& file);

// Whether ffmpeg and ffprobe run (the tests that use them skip without).
bool HaveFfmpeg();
// What a shell command printed on stdout; empty when it failed.
std::string ShellOutput(const std::string& command);
// "stream=KEY[,KEY]" of stream `select` ("v:0", "a:0") as ffprobe prints
// it (csv, packets counted: nb_read_packets works).
std::string Probe(const std::filesystem::path& file, const std::string& select,
                  const std::string& key);
// Whether ffmpeg decodes every stream of the file without an error.
bool DecodesCleanly(const std::filesystem::path& file);

// The shared test frames and photographs.
std::filesystem::path TestDataDir();

}  // namespace ksv::ksvcam::testing
