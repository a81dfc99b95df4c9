// The clip sample functions on clips made as the camera makes them: media
// types, the frames and sound each sample carries, "Sync Frames", times and
// the last flags, the first frame kept for the application.
#include <cmath>

#include "camapi/clip_samples.h"
#include "camapi/tests/camapi_test_support.h"
#include "camapi/tests/clip_test_support.h"
#include "common/bitmap_file.h"
#include "common/profile_text.h"
#include "include/oksv1api_samples.h"
#include "platform/media/base/media_type.h"
#include "platform/memory/global_memory.h"
#include "support/adpcm/ima_adpcm.h"
#include "support/byte_order.h"

namespace ksv::camapi::testing {
namespace {

using simcam::ClipSound;

class ClipSamples : public CamapiTest {
 protected:
  CameraContext& OpenContext() {
    KXCAMAPI_HANDLE handle = Open();
    EXPECT_NE(handle, nullptr);
    return *handle;
  }
  void SetSyncFrames(CameraContext& context, DWORD value) {
    ASSERT_EQ(KXCAMAPI_WriteDriverRegistryDword(&static_cast<::CameraContext&>(context),
                                                "Sync Frames", value),
              1);  // the bulk library's success
  }
  ~ClipSamples() override { ReleaseClipSamples(); }
};

// The ADPCM bytes of each chunk of a stored clip.
std::vector<size_t> AudioBytesPerChunk(const outside::bulk::StoredItem& item) {
  std::vector<size_t> sizes;
  size_t at = 0;
  for (size_t c = 0; c < item.header.chunkCount; ++c) {
    const size_t video = support::LoadLe16(item.data, at + 4);
    const size_t audio = support::LoadLe16(item.data, at + 13);
    sizes.push_back(audio);
    at += 16 + video + audio;
  }
  return sizes;
}

// Signal-to-noise ratio of `decoded` against `reference` over their common
// length, in dB.
double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < std::min(reference.size(), decoded.size()); ++i) {
    signal += double(reference[i]) * reference[i];
    noise += (double(reference[i]) - decoded[i]) * (double(reference[i]) - decoded[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

TEST_F(ClipSamples, AClipWithSyncFramesAndAdpcmSoundPlaysAsRecorded) {
  UseMemory(EmptyMemory());
  CameraContext& context = OpenContext();
  // Out of range: taken as 2.
  SetSyncFrames(context, 9);
  const auto frames = BandedFrames(12, 320, 240);
  const auto item = ToneClip(frames, ClipSound::kAdpcm8000, ToneWav(8000, 440, 1.2));
  AttachedClip clip(context, item);
  ASSERT_EQ(PrepareClipSamples(context), S_OK);

  CMediaType video;
  ASSERT_EQ(DoGetVideoMediaTypeForMe(0, &video), S_OK);
  EXPECT_EQ(*video.Type(), MEDIATYPE_Video);
  EXPECT_EQ(*video.Subtype(), MEDIASUBTYPE_RGB24);
  ASSERT_EQ(*video.FormatType(), FORMAT_VideoInfo);
  ASSERT_EQ(video.FormatLength(), 1124u);
  const auto* info = reinterpret_cast<const VIDEOINFO*>(video.Format());
  EXPECT_EQ(info->bmiHeader.biWidth, 320);
  EXPECT_EQ(info->bmiHeader.biHeight, 240);
  EXPECT_EQ(info->bmiHeader.biBitCount, 24);
  EXPECT_EQ(info->bmiHeader.biSizeImage, 230400u);
  EXPECT_EQ(info->AvgTimePerFrame, 1000000);
  EXPECT_EQ(info->dwBitRate, 230400u * 80);
  EXPECT_EQ(info->rcSource.right, 320);
  EXPECT_EQ(info->rcTarget.bottom, 240);
  EXPECT_EQ(video.GetSampleSize(), 230400u);

  CMediaType audio;
  ASSERT_EQ(DoGetAudioMediaTypeForMe(0, &audio), S_OK);
  EXPECT_EQ(*audio.Type(), MEDIATYPE_Audio);
  ASSERT_EQ(*audio.FormatType(), FORMAT_WaveFormatEx);
  ASSERT_EQ(audio.FormatLength(), 18u);
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(audio.Format());
  EXPECT_EQ(wave->wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(wave->nChannels, 1);
  EXPECT_EQ(wave->nSamplesPerSec, 8000u);
  EXPECT_EQ(wave->wBitsPerSample, 16);
  EXPECT_EQ(wave->nBlockAlign, 2);
  EXPECT_EQ(wave->nAvgBytesPerSec, 16000u);

  // Ten frames: the first two chunks' video is skipped.
  SamplePool frames320(230400);
  for (int n = 0; n < 10; ++n) {
    SCOPED_TRACE(n);
    const Pulled sample = frames320.Pull(ProcessVideoData);
    ASSERT_EQ(sample.result, S_OK);
    ASSERT_EQ(sample.data.size(), 230400u);
    EXPECT_EQ(sample.start, n * 1000000LL);
    EXPECT_EQ(sample.end, (n + 1) * 1000000LL - 1);
    EXPECT_EQ(sample.last, n == 9 ? 1 : 0);
    double psnr = 0;
    EXPECT_EQ(NearestFrame(frames, BottomUpBgrToRgb(sample.data, 320, 240), &psnr),
              static_cast<size_t>(n + 2));
    EXPECT_GT(psnr, 30);
  }
  // The stream is over: nothing is read past the clip's chunks.
  EXPECT_EQ(frames320.Pull(ProcessVideoData).result, E_FAIL);
  EXPECT_EQ(context.frameCounter, 10u);

  // Twelve blocks of sound, each holding what the whole ADPCM blocks held
  // so far decode to; together the tone.
  SamplePool sound(16384);
  const std::vector<size_t> adpcmBytes = AudioBytesPerChunk(item);
  size_t held = 0;
  std::vector<int16_t> pcm;
  for (int m = 0; m < 12; ++m) {
    SCOPED_TRACE(m);
    const Pulled sample = sound.Pull(ProcessAudioData);
    ASSERT_EQ(sample.result, S_OK);
    EXPECT_EQ(sample.start, m * 1000000LL);
    EXPECT_EQ(sample.last, m == 11 ? 1 : 0);
    held += adpcmBytes[size_t(m)];
    EXPECT_EQ(sample.data.size(), held / 258 * 1024);
    held %= 258;
    for (size_t i = 0; i + 1 < sample.data.size(); i += 2) {
      pcm.push_back(static_cast<int16_t>(support::LoadLe16(sample.data, i)));
    }
  }
  EXPECT_EQ(sound.Pull(ProcessAudioData).result, E_FAIL);
  EXPECT_GT(SnrDb(ToneSamples(8000, 440, 1.2), pcm), 15);

  // The first frame delivered is the clip's first frame for the application.
  const auto name = common::ProfileText(context.clipInfoPaths[0], "CLIP_FILE", "1");
  ASSERT_TRUE(name.has_value());
  HGLOBAL first = common::ReadBitmapFile((context.clipFolder + *name).c_str());
  ASSERT_NE(first, nullptr);
  double psnr = 0;
  EXPECT_EQ(NearestFrame(frames, BitmapToRgb(first), &psnr), 2u);
  GlobalFree(first);
}

TEST_F(ClipSamples, ALowResolutionClipOfNineChunksWithPcmSoundIgnoresSyncFrames) {
  UseMemory(EmptyMemory());
  CameraContext& context = OpenContext();
  SetSyncFrames(context, 3);
  const auto frames = BandedFrames(9, 160, 128);
  const auto item = ToneClip(frames, ClipSound::kPcm12000, ToneWav(12000, 300, 0.9));
  AttachedClip clip(context, item);
  ASSERT_EQ(PrepareClipSamples(context), S_OK);

  CMediaType video;
  ASSERT_EQ(DoGetVideoMediaTypeForMe(0, &video), S_OK);
  const auto* info = reinterpret_cast<const VIDEOINFO*>(video.Format());
  EXPECT_EQ(info->bmiHeader.biWidth, 160);
  EXPECT_EQ(info->bmiHeader.biHeight, 120);
  EXPECT_EQ(info->bmiHeader.biSizeImage, 57600u);
  CMediaType audio;
  ASSERT_EQ(DoGetAudioMediaTypeForMe(0, &audio), S_OK);
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(audio.Format());
  EXPECT_EQ(wave->nSamplesPerSec, 12000u);
  EXPECT_EQ(wave->wBitsPerSample, 8);
  EXPECT_EQ(wave->nBlockAlign, 1);

  // Samples carry the bottom 120 rows of each 160 x 128 picture.
  SamplePool pictures(57600);
  for (int n = 0; n < 9; ++n) {
    SCOPED_TRACE(n);
    const Pulled sample = pictures.Pull(ProcessVideoData);
    ASSERT_EQ(sample.result, S_OK);
    ASSERT_EQ(sample.data.size(), 57600u);
    EXPECT_EQ(sample.last, n == 8 ? 1 : 0);
    EXPECT_GT(picture::Psnr(Rows(frames[size_t(n)], 8, 120).pixels,
                            BottomUpBgrToRgb(sample.data, 160, 120)),
              30);
  }
  // The application's first frame is the top 120 rows.
  const auto name = common::ProfileText(context.clipInfoPaths[0], "CLIP_FILE", "1");
  ASSERT_TRUE(name.has_value());
  HGLOBAL first = common::ReadBitmapFile((context.clipFolder + *name).c_str());
  ASSERT_NE(first, nullptr);
  EXPECT_GT(picture::Psnr(Rows(frames[0], 0, 120).pixels, BitmapToRgb(first)), 30);
  GlobalFree(first);

  // 8-bit sound goes out as stored, one chunk a sample.
  SamplePool sound(16384);
  size_t at = 0;
  for (int m = 0; m < 9; ++m) {
    const size_t videoBytes = support::LoadLe16(item.data, at + 4);
    const size_t audioBytes = support::LoadLe16(item.data, at + 13);
    const std::vector<uint8_t> stored(item.data.begin() + std::ptrdiff_t(at + 16 + videoBytes),
                                      item.data.begin() +
                                          std::ptrdiff_t(at + 16 + videoBytes + audioBytes));
    at += 16 + videoBytes + audioBytes;
    const Pulled sample = sound.Pull(ProcessAudioData);
    ASSERT_EQ(sample.result, S_OK);
    EXPECT_EQ(sample.data, stored) << m;
    EXPECT_EQ(sample.last, m == 8 ? 1 : 0);
  }
}

TEST_F(ClipSamples, FailsWithoutAClipOrRoomAndKeepsNoFirstFrameInKsvMode) {
  UseMemory(EmptyMemory());
  KXCAMAPI_HANDLE handle = Open(/*ksv=*/true);
  ASSERT_NE(handle, nullptr);
  CameraContext& context = *handle;
  // Nothing prepared.
  CMediaType type;
  EXPECT_EQ(DoGetVideoMediaTypeForMe(0, &type), E_POINTER);
  EXPECT_EQ(DoGetAudioMediaTypeForMe(0, &type), E_FAIL);
  SamplePool pool(230400);
  EXPECT_EQ(pool.Pull(ProcessVideoData).result, E_FAIL);
  EXPECT_EQ(pool.Pull(ProcessAudioData).result, E_FAIL);
  EXPECT_EQ(PrepareClipSamples(context), E_INVALIDARG);

  const auto frames = BandedFrames(3, 320, 240);
  auto item = ToneClip(frames, ClipSound::kAdpcm8000, ToneWav(8000, 440, 0.3));
  item.header.audioRate = 11025;  // taken for 8,000 Hz ADPCM
  {
    AttachedClip clip(context, item, /*ksv=*/true);
    ASSERT_EQ(PrepareClipSamples(context), S_OK);
    ASSERT_EQ(DoGetAudioMediaTypeForMe(0, &type), S_OK);
    EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(type.Format())->nSamplesPerSec, 8000u);
    // A sample too small for a 320 x 240 frame.
    SamplePool small(230399);
    EXPECT_EQ(small.Pull(ProcessVideoData).result, E_FAIL);
    const Pulled frame = pool.Pull(ProcessVideoData);
    EXPECT_EQ(frame.result, S_OK);
    EXPECT_EQ(NearestFrame(frames, BottomUpBgrToRgb(frame.data, 320, 240), nullptr), 0u)
        << "a failed sample moved the clip on";
    EXPECT_TRUE(!std::filesystem::exists(context.clipFolder) ||
                std::filesystem::is_empty(context.clipFolder));
  }
  // A clip cut short: its chunks reach past its bytes, and the samples fail
  // instead of reading past them.
  item.header.audioRate = 8000;
  item.data.resize(item.data.size() / 2);
  AttachedClip cut(context, item, /*ksv=*/true);
  ASSERT_EQ(PrepareClipSamples(context), S_OK);
  int failed = 0;
  for (int n = 0; n < 3; ++n) failed += pool.Pull(ProcessVideoData).result == E_FAIL;
  EXPECT_GE(failed, 1);
  ReleaseClipSamples();
  EXPECT_EQ(DoGetAudioMediaTypeForMe(0, &type), E_FAIL);
}

}  // namespace
}  // namespace ksv::camapi::testing
