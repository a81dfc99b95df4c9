// One stream of the file being fixed, as the fixer describes it when it
// opens the file: its handle and information, its format (with the audio
// format rewrite applied), its frame decoder (video) and the options it is
// saved with.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/avifile/avifile.h"

namespace ksv::avifix {

// Options a video stream is re-encoded with when it must be: its own
// codec, a key frame every 15 frames, the best quality.
inline constexpr DWORD kKeyFrameEvery = 15;
inline constexpr DWORD kBestQuality = 10000;

// The audio format tag whose format is replaced, and the extra bytes put
// after the first 16 bytes of its own.
inline constexpr uint16_t kRewrittenAudioTag = 0x0400;
inline constexpr size_t kRewrittenAudioFormatBytes = 28;

class DescribedStream {
 public:
  DescribedStream() = default;
  ~DescribedStream();
  DescribedStream(const DescribedStream&) = delete;
  DescribedStream& operator=(const DescribedStream&) = delete;

  // Takes `stream` (its reference passes to this object) and reads its
  // information and format, opening a decoder for video. False when the
  // information or format cannot be read; the stream is still held.
  bool Describe(PAVISTREAM stream);

  bool IsVideo() const { return stream_ != nullptr && info_.fccType == streamtypeVIDEO; }
  bool IsAudio() const { return stream_ != nullptr && info_.fccType == streamtypeAUDIO; }
  PAVISTREAM stream() const { return stream_; }
  const AVISTREAMINFOA& info() const { return info_; }
  const std::vector<uint8_t>& format() const { return format_; }
  PGETFRAME decoder() const { return decoder_; }
  // The options made for the stream: for video its own codec re-encoding
  // (key frames, quality); for audio its own format, copied.
  const AVICOMPRESSOPTIONS& saveOptions() const { return options_; }
  // Options that copy the stream's samples as they are.
  AVICOMPRESSOPTIONS CopyOptions() const;

 private:
  void MakeSaveOptions();

  PAVISTREAM stream_ = nullptr;
  AVISTREAMINFOA info_{};
  std::vector<uint8_t> format_;
  PGETFRAME decoder_ = nullptr;
  AVICOMPRESSOPTIONS options_{};
};

// An audio format as the fixer saves it: a WAVEFORMATEX of tag 0x0400
// becomes 28 bytes (its first 16, extra size 10, then 0x0000, 0xF7329ACE,
// 0xACDEAEA2 little-endian); any other format is returned as it is.
std::vector<uint8_t> RewriteAudioFormat(std::vector<uint8_t> format);

// The bytes of the packed bitmap `header` heads: the header, its colour
// table and its pixels. 0 when the header is unusable.
size_t PackedBitmapBytes(const BITMAPINFOHEADER& header);

}  // namespace ksv::avifix
