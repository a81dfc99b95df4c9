// The simulated microphone's sound as frames: a WAV file's PCM read as it
// goes, or a test tone, then brought to the rate, channels and sample size
// a capture asks for. A frame is a left and a right sample on the 16-bit
// scale (mono sound has the same value in both).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/audio_source.h"
#include "platform/media/avi/byte_io.h"

namespace ksv::simcam {

using Frame = std::array<int32_t, 2>;

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual uint32_t Rate() const = 0;
  // The next frame; false once the sound has ended.
  virtual bool Next(Frame& frame) = 0;
};

// A sine of `frequency` Hz at `rate`, half the full scale, endless.
class ToneFrames final : public FrameSource {
 public:
  ToneFrames(uint32_t rate, double frequency);
  uint32_t Rate() const override { return rate_; }
  bool Next(Frame& frame) override;

 private:
  uint32_t rate_;
  double step_;
  uint64_t index_ = 0;
};

// The PCM of a WAV file (8 or 16 bits, 1 or 2 channels), read a block at
// a time.
class WavFrames final : public FrameSource {
 public:
  // Null with the reason in *error when the file cannot be opened or read,
  // is not a WAV file or holds sound in another form.
  static std::unique_ptr<WavFrames> Open(const std::string& path, std::string* error);
  uint32_t Rate() const override { return format_.samplesPerSecond; }
  const platform::audio::PcmFormat& Format() const { return format_; }
  bool Next(Frame& frame) override;

 private:
  WavFrames() = default;
  bool Refill();

  std::unique_ptr<media::avi::FileByteSource> file_;
  platform::audio::PcmFormat format_;
  uint64_t next_ = 0;  // file offset of the next block
  uint64_t end_ = 0;   // end of the data chunk
  std::vector<uint8_t> block_;
  size_t used_ = 0;
};

// A capture in `format` from `source`: linear interpolation between the
// source's frames when the rates differ (the very frames when they agree),
// channels mixed down or copied, samples packed at 8 or 16 bits.
class ConvertingCapture final : public platform::audio::AudioCapture {
 public:
  ConvertingCapture(std::unique_ptr<FrameSource> source, const platform::audio::PcmFormat& format);
  size_t Read(std::span<uint8_t> buffer) override;

 private:
  bool NextFrame(Frame& frame);
  bool Advance();  // moves the pair of source frames on by one

  std::unique_ptr<FrameSource> source_;
  platform::audio::PcmFormat format_;
  uint64_t produced_ = 0;  // output frames so far
  uint64_t sourceIndex_ = 0;  // index of current_ in the source
  Frame current_{};
  Frame following_{};
  bool haveCurrent_ = false;
  bool haveFollowing_ = false;
  bool started_ = false;
};

}  // namespace ksv::simcam
