#include "apps/ksvcam/file_checks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

const char* KindName(MediaKind kind) {
  switch (kind) {
    case MediaKind::Wav: return "WAV";
    case MediaKind::Avi: return "AVI";
    case MediaKind::Mpeg1: return "MPEG-1";
  }
  return "?";
}

bool IsKind(const unsigned char* head, size_t size, MediaKind kind) {
  switch (kind) {
    case MediaKind::Wav:
      return size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
    case MediaKind::Avi:
      return size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0;
    case MediaKind::Mpeg1:  // a system stream's pack header
      return size >= 4 && head[0] == 0 && head[1] == 0 && head[2] == 1 && head[3] == 0xBA;
  }
  return false;
}

}  // namespace

void CheckMediaInput(const std::string& path, std::initializer_list<MediaKind> kinds) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) throw CommandFailure("no file " + Quoted(path));
  std::ifstream in(path, std::ios::binary);
  unsigned char head[12] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const auto size = static_cast<size_t>(in.gcount());
  std::string names;
  size_t index = 0;
  for (const MediaKind kind : kinds) {
    if (IsKind(head, size, kind)) return;
    const bool last = ++index == kinds.size();
    names += std::string(index == 1 ? "" : last ? " or " : ", ") + KindName(kind);
  }
  throw CommandFailure(Quoted(path) + " is not a" + (names.front() == 'A' ? "n " : " ") + names +
                       " file");
}

void CheckWritableOutput(const std::string& path) {
  std::error_code error;
  const bool existed = std::filesystem::exists(path, error);
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  if (file < 0) {
    throw CommandFailure("cannot write " + Quoted(path) + ": " +
                         std::generic_category().message(errno));
  }
  ::close(file);
  if (!existed) std::filesystem::remove(path, error);
}

}  // namespace ksv::ksvcam
