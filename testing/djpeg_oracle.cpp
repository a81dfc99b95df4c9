#include "testing/djpeg_oracle.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ksv::testing {

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

DjpegRun RunDjpeg(const std::filesystem::path& jpeg) {
  const std::string ppm = jpeg.string() + ".djpeg.ppm";
  const std::string messages = jpeg.string() + ".djpeg.txt";
  const std::string command = "djpeg -ppm -outfile " + Quoted(ppm) + " " + Quoted(jpeg.string()) +
                              " 2>" + Quoted(messages);
  const int raw = std::system(command.c_str());
  if (raw == -1 || !WIFEXITED(raw) || WEXITSTATUS(raw) == 127) {
    throw std::runtime_error("djpeg could not be run (package libjpeg-turbo-progs)");
  }
  DjpegRun run;
  run.status = WEXITSTATUS(raw);
  const std::vector<uint8_t> text = ReadAll(messages);
  run.messages.assign(text.begin(), text.end());
  run.pixels = ReadAll(ppm);
  std::filesystem::remove(ppm);
  std::filesystem::remove(messages);
  return run;
}

}  // namespace ksv::testing
