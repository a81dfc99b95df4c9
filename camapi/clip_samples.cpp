// The clip sample source: preparation, release and the chunk walk the two
// streams share.
#include "camapi/clip_samples.h"

#include <cstring>

#include "camapi/clip_sample_source.h"
#include "camapi/item_headers.h"
#include "common/driver_settings.h"
#include "include/oksv1dnl.h"
#include "support/byte_order.h"

namespace ksv::camapi {
namespace clip {

namespace {

// "Sync Frames": leading chunks whose video the camera recorded before the
// picture settled. Read only for clips of at least 10 chunks.
constexpr uint32_t kSyncFramesFromChunks = 10;
constexpr uint32_t kSyncFramesDefault = 2;
constexpr uint32_t kSyncFramesMax = 5;

uint32_t SyncFrames(uint32_t chunkCount) {
  if (chunkCount < kSyncFramesFromChunks) return 0;
  const uint32_t value = common::ReadMachineDword("Sync Frames");
  return value <= kSyncFramesMax ? value : kSyncFramesDefault;
}

// The sound format: 8,000 Hz 16-bit from ADPCM, or 12,000 Hz 8-bit PCM as
// stored; any other rate is taken for 8,000 Hz ADPCM.
void SetAudioFormat(SampleSource& source, uint32_t headerRate) {
  source.rate = headerRate == 12000 ? 12000 : 8000;
  source.bits = source.rate == 12000 ? 8 : 16;
  source.bytesPerSecond = source.bits * source.rate / 8;
  WAVEFORMATEX& wave = source.waveFormat;
  wave = WAVEFORMATEX{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 1;
  wave.nSamplesPerSec = source.rate;
  wave.nBlockAlign = static_cast<WORD>(source.bits * wave.nChannels / 8);
  wave.nAvgBytesPerSec = source.rate * wave.nBlockAlign;
  wave.wBitsPerSample = static_cast<WORD>(source.bits);
  wave.cbSize = 0;
}

}  // namespace

SampleSource& Source() {
  static SampleSource source;
  return source;
}
std::shared_mutex& PreparationLock() {
  static std::shared_mutex lock;
  return lock;
}
std::mutex& VideoLock() {
  static std::mutex lock;
  return lock;
}
std::mutex& AudioLock() {
  static std::mutex lock;
  return lock;
}

std::optional<Chunk> ReadChunk(std::span<const uint8_t> clip, size_t at) {
  if (at > clip.size() || clip.size() - at < kChunkHeaderBytes) return std::nullopt;
  const size_t video = support::LoadLe16(clip, at + 4);
  const size_t audio = support::LoadLe16(clip, at + 13);
  const size_t data = at + kChunkHeaderBytes;
  if (video + audio > clip.size() - data) return std::nullopt;
  return Chunk{clip.subspan(data, video), clip.subspan(data + video, audio), data + video + audio};
}

std::optional<Chunk> ChunkAt(const SampleSource& source, const Position& position) {
  if (!position.valid || position.number >= source.chunkCount) return std::nullopt;
  return ReadChunk(source.clip, position.chunk);
}

void Advance(Position& position, const Chunk& chunk) {
  position.chunk = chunk.next;
  ++position.number;
}

HRESULT CopyIntoSample(IMediaSample* sample, std::span<const uint8_t> bytes) {
  BYTE* buffer = nullptr;
  if (FAILED(sample->GetPointer(&buffer)) || buffer == nullptr) return E_FAIL;
  const LONG size = sample->GetSize();
  if (size < 0 || static_cast<size_t>(size) < bytes.size()) return E_FAIL;
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  return sample->SetActualDataLength(static_cast<LONG>(bytes.size()));
}

void StampSample(IMediaSample* sample, uint32_t n) {
  REFERENCE_TIME start = REFERENCE_TIME{n} * kSampleTime;
  REFERENCE_TIME end = start + kSampleTime - 1;
  sample->SetTime(&start, &end);
}

}  // namespace clip

HRESULT PrepareClipSamples(CameraContext& context) {
  using namespace clip;
  std::unique_lock preparation(PreparationLock());
  SampleSource& source = Source();
  // Reset, keeping the buffers' memory for the next clip.
  std::vector<uint8_t> pcm = std::move(source.audio.pcm);
  std::vector<uint8_t> adpcm = std::move(source.audio.adpcm);
  source = SampleSource{};
  BulkContext* bulk = context.bulk.get();
  if (bulk == nullptr || bulk->clipHeader == nullptr || bulk->clipBytes < kItemHeaderBytes) {
    return E_INVALIDARG;
  }
  source.context = &context;
  source.bulk = bulk;
  source.clip = {bulk->clipHeader, bulk->clipBytes};
  const StoredItemHeader header =
      ReadStoredItemHeader(source.clip.first<kItemHeaderBytes>());
  source.width = header.width;
  source.height = header.height;
  source.chunkCount = header.chunkCount;
  // A clip the decoder has no 24-bit layout for cannot be played at all.
  if (!bulk->decoder.Prepare({source.width, source.height}, codec::OutputCode::kBgr24)) {
    return E_INVALIDARG;
  }
  bulk->decodeWidth = source.width;
  bulk->decodeHeight = source.height;
  bulk->decoder.SelectQuantPair(2);
  source.sampleHeight = source.width == 160 && source.height == 128 ? 120 : source.height;

  const Position first{true, kItemHeaderBytes, 0};
  source.audio.position = first;
  source.syncFrames = SyncFrames(source.chunkCount);
  Position video = first;
  for (uint32_t skipped = 0; skipped < source.syncFrames; ++skipped) {
    const std::optional<Chunk> chunk = ReadChunk(source.clip, video.chunk);
    if (!chunk) {
      video.valid = false;  // the video stream then fails at once
      break;
    }
    Advance(video, *chunk);
  }
  source.video.position = video;

  BULK_GetQtable(bulk->handle, header.tableIndex, bulk->qTable.data());
  bulk->decoder.LoadQuantTable(bulk->qTable);
  source.outputPath = context.pathBuffer;

  SetAudioFormat(source, header.audioRate);
  try {
    pcm.assign(source.bytesPerSecond, 0);
    adpcm.assign(size_t{2} * source.bytesPerSecond, 0);
  } catch (const std::bad_alloc&) {
    source = SampleSource{};
    return E_OUTOFMEMORY;
  }
  source.audio.pcm = std::move(pcm);
  source.audio.adpcm = std::move(adpcm);
  source.prepared = true;
  return S_OK;
}

void ReleaseClipSamples() {
  using namespace clip;
  std::unique_lock preparation(PreparationLock());
  Source() = SampleSource{};
}

}  // namespace ksv::camapi
