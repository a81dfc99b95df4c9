#include "graph/tests/file_test_support.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/byte_io.h"
#include "platform/ui/user32.h"
#include "support/byte_order.h"
#include "testing/temp_files.h"

namespace ksv::graph::testing {

namespace {

// Every plug-in the file graphs and the playback of their files use (a
// handle's graph context also holds a capture graph builder).
const std::vector<std::string> kModules = {
    "ksvfilesource.so", "ksvavisplit.so",    "ksvwaveparser.so",    "ksvavimux.so",
    "ksvfilewriter.so", "ksvwavdest.so",     "ksvavimaker.so",      "ksvacm.so",
    "ksvavidec.so",     "ksvcolour.so",      "ksvvideorender.so",   "ksvaudiorender.so",
    "ksvavico.so",      "ksvvexel5.so",      "ksvcapture.so",       "ksvmpeg1.so",
};

constexpr char kParentClass[] = "GraphFileTestParent";

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int at = 0; at < 4; ++at) out.push_back(uint8_t(tag[at]));
}
uint32_t Get32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

}  // namespace

FileGraphRoot::FileGraphRoot() : root_(kModules) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = kParentClass;
  RegisterClassA(&windowClass);
  window_ = CreateWindowExA(0, kParentClass, "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
}

FileGraphRoot::~FileGraphRoot() {
  if (window_ != nullptr) DestroyWindow(window_);
}

int32_t FrameFeed::Next(BYTE* buffer, intptr_t self) {
  auto* feed = reinterpret_cast<FrameFeed*>(self);
  const int frame = feed->calls++;
  if (frame >= feed->frames) return 0;
  const size_t size = size_t(feed->width) * size_t(feed->height) * 3;
  for (size_t at = 0; at < size; ++at) buffer[at] = BYTE(frame * 29 + (at / 3) % 200 + at % 3 * 40);
  ++feed->delivered;
  return 1;
}

std::vector<uint8_t> WriteToneWav(const std::string& path, uint32_t rate, uint32_t samples) {
  std::vector<uint8_t> sound;
  for (uint32_t sample = 0; sample < samples; ++sample) {
    const double value = 8000.0 * std::sin(2.0 * M_PI * 440.0 * sample / rate);
    support::AppendLe16(sound, uint16_t(int16_t(std::lround(value))));
  }
  std::vector<uint8_t> file;
  PutTag(file, "RIFF");
  support::AppendLe32(file, uint32_t(36 + sound.size()));
  PutTag(file, "WAVE");
  PutTag(file, "fmt ");
  support::AppendLe32(file, 16);
  support::AppendLe16(file, 1);         // PCM
  support::AppendLe16(file, 1);         // mono
  support::AppendLe32(file, rate);
  support::AppendLe32(file, rate * 2);  // bytes per second
  support::AppendLe16(file, 2);         // block align
  support::AppendLe16(file, 16);        // bits
  PutTag(file, "data");
  support::AppendLe32(file, uint32_t(sound.size()));
  file.insert(file.end(), sound.begin(), sound.end());
  ksv::testing::WriteFile(path, file);
  return sound;
}

std::vector<uint8_t> WavData(const std::string& path) {
  const std::vector<uint8_t> file = ksv::testing::ReadFile(path);
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0) return {};
  size_t at = 12;
  while (at + 8 <= file.size()) {
    const uint32_t size = Get32(&file[at + 4]);
    const size_t start = at + 8;
    if (std::memcmp(&file[at], "data", 4) == 0) {
      const size_t end = std::min(file.size(), start + size);
      return {file.begin() + std::ptrdiff_t(start), file.begin() + std::ptrdiff_t(end)};
    }
    at = start + size + (size & 1);
  }
  return {};
}

bool RunToCompletion(QmgHandle* handle, std::chrono::milliseconds limit) {
  QMG_SetEventFlag(handle);
  if (QMG_Play(handle) != 1) return false;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  MSG message{};
  // The handle's 33 ms timer wakes the loop when nothing else comes.
  while (QMG_GetEventFlag(handle) == 1 && std::chrono::steady_clock::now() < deadline &&
         GetMessageA(&message, nullptr, 0, 0) > 0) {
    DispatchMessageA(&message);
  }
  const bool completed = QMG_GetEventFlag(handle) == 0;
  QMG_Stop(handle);
  return completed;
}

media::avi::File ReadAviFile(const std::string& path) {
  media::avi::FileByteSource source(path);
  return media::avi::ReadAvi(source);
}

uint32_t VideoCompression(const media::avi::Stream& stream) {
  return stream.format.size() >= 20 ? Get32(&stream.format[16]) : 0xFFFFFFFF;
}

}  // namespace ksv::graph::testing
