// Any bytes as an AVI file give a FormatError or an index whose every entry
// lies inside the file: never a crash, a read outside or a hang.
#include <cstddef>
#include <cstdint>

#include "platform/media/avi/avi_reader.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ksv::media::avi;
  MemoryByteSource source({data, size});
  try {
    const File file = ReadAvi(source);
    Check(!file.streams.empty());
    for (const auto& stream : file.streams) {
      Check(stream.header.rate != 0 && stream.header.scale != 0);
      for (const auto& entry : stream.index) Check(entry.offset + entry.size <= size);
      const auto samples = FirstSamples(stream);
      Check(samples.size() == stream.index.size());
      if (!samples.empty()) Check(SampleTime(stream.header, samples.back()) >= 0);
    }
  } catch (const FormatError&) {
  }
  return 0;
}
