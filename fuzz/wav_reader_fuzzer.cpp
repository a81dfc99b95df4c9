// Any bytes as a WAV file give a FormatError or a whole WAVEFORMATEX and a
// data chunk inside the file.
#include <cstddef>
#include <cstdint>

#include "platform/media/avi/wav_file.h"
#include "support/byte_order.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ksv::media::avi;
  MemoryByteSource source({data, size});
  try {
    const WavFile wav = ReadWav(source);
    Check(wav.format.size() >= 18);
    Check(wav.format.size() == 18u + ksv::support::LoadLe16(wav.format, 16));
    Check(wav.dataOffset <= size && wav.dataSize <= size - wav.dataOffset);
    // The header for what was read is itself readable.
    const auto header = WavHeader(wav.format, wav.dataSize, wav.factSamples);
    Check(LooksLikeWav(header.data(), header.size()));
  } catch (const FormatError&) {
  }
  return 0;
}
