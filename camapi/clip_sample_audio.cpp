// The clip's sound stream: its media type and the sound of one chunk a
// sample, 4-bit ADPCM decoded to 16-bit PCM at 8,000 Hz or 8-bit PCM at
// 12,000 Hz passed on as stored.
#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <cstring>

#include "camapi/clip_sample_source.h"
#include "support/no_throw.h"
#include "include/oksv1api_samples.h"
#include "platform/media/base/media_type.h"
#include "support/adpcm/ima_adpcm.h"
#include "support/byte_order.h"

namespace ksv::camapi::clip {
namespace {

constexpr size_t kBlockBytes = adpcm::kCameraBlockBytes;
constexpr size_t kBlockPcmBytes = adpcm::kCameraBlockSamples * 2;

// Adds the chunk's ADPCM bytes to those held and decodes every whole block
// held, as far as the PCM buffer reaches (a block that does not fit waits for
// the next chunk). The PCM bytes decoded; null when the bytes held would
// pass the ADPCM buffer.
std::optional<std::span<const uint8_t>> DecodeHeldBlocks(AudioSide& audio,
                                                         std::span<const uint8_t> bytes) {
  if (bytes.size() > audio.adpcm.size() - audio.adpcmFill) return std::nullopt;
  std::memcpy(audio.adpcm.data() + audio.adpcmFill, bytes.data(), bytes.size());
  audio.adpcmFill += bytes.size();
  const size_t blocks = std::min(audio.adpcmFill / kBlockBytes, audio.pcm.size() / kBlockPcmBytes);
  for (size_t b = 0; b < blocks; ++b) {
    std::array<int16_t, adpcm::kCameraBlockSamples> samples;
    adpcm::DecodeCameraBlock(
        std::span<const uint8_t, kBlockBytes>(audio.adpcm.data() + b * kBlockBytes, kBlockBytes),
        samples);
    const std::span<uint8_t> out = std::span<uint8_t>(audio.pcm).subspan(b * kBlockPcmBytes, kBlockPcmBytes);
    for (size_t i = 0; i < samples.size(); ++i) {  // little-endian 16-bit PCM
      support::StoreLe16(out, 2 * i, static_cast<uint16_t>(samples[i]));
    }
  }
  const size_t used = blocks * kBlockBytes;
  std::memmove(audio.adpcm.data(), audio.adpcm.data() + used, audio.adpcmFill - used);
  audio.adpcmFill -= used;
  return std::span<const uint8_t>(audio.pcm).first(blocks * kBlockPcmBytes);
}

}  // namespace
}  // namespace ksv::camapi::clip

using namespace ksv::camapi::clip;

HRESULT DoGetAudioMediaTypeForMe(int /*unused*/, CMediaType* type) {
  return ksv::support::ComNoThrow<HRESULT>(E_OUTOFMEMORY, E_FAIL, [&]() -> HRESULT {
    if (type == nullptr) return E_POINTER;
    std::shared_lock preparation(PreparationLock());
    const SampleSource& source = Source();
    if (!source.prepared) return E_FAIL;
    type->InitMediaType();
    type->SetType(&MEDIATYPE_Audio);
    type->SetFormatType(&FORMAT_WaveFormatEx);
    if (!type->SetFormat(reinterpret_cast<const BYTE*>(&source.waveFormat), sizeof(WAVEFORMATEX))) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  });
}

HRESULT ProcessAudioData(IMediaSample* sample, int* last) {
  return ksv::support::ComNoThrow<HRESULT>(E_OUTOFMEMORY, E_FAIL, [&]() -> HRESULT {
    if (sample == nullptr || last == nullptr) return E_POINTER;
    *last = 0;
    std::shared_lock preparation(PreparationLock());
    std::lock_guard lock(AudioLock());
    SampleSource& source = Source();
    if (!source.prepared) return E_FAIL;
    AudioSide& audio = source.audio;
    const std::optional<Chunk> chunk = ChunkAt(source, audio.position);
    if (!chunk) return E_FAIL;

    std::span<const uint8_t> pcm = chunk->audio;
    if (source.rate == 8000) {
      const auto decoded = DecodeHeldBlocks(audio, chunk->audio);
      if (!decoded) return E_FAIL;
      pcm = *decoded;
    }
    const HRESULT copied = CopyIntoSample(sample, pcm);

    Advance(audio.position, *chunk);
    StampSample(sample, audio.count);
    ++audio.count;
    *last = audio.count >= source.chunkCount ? 1 : 0;
    return copied;
  });
}
