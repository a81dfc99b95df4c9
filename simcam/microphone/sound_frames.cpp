#include "simcam/microphone/sound_frames.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>

#include "platform/media/avi/wav_file.h"
#include "platform/media/formats.h"
#include "support/byte_order.h"

namespace ksv::simcam {
namespace {

constexpr size_t kBlockBytes = 64 * 1024;
constexpr WORD kExtensibleTag = 0xFFFE;

int32_t Clamp16(int32_t value) { return std::clamp(value, -32768, 32767); }

// The PCM format a WAV file's fmt chunk describes, or an empty one when the
// sound is in another form (compressed, floating point, 24 bits ...).
platform::audio::PcmFormat PcmOf(const std::vector<uint8_t>& format) {
  WAVEFORMATEX wave{};
  std::copy_n(format.begin(), std::min(format.size(), sizeof(wave)),
              reinterpret_cast<uint8_t*>(&wave));
  bool pcm = wave.wFormatTag == WAVE_FORMAT_PCM;
  // WAVE_FORMAT_EXTENSIBLE: the subformat GUID starts 24 bytes after the
  // WAVEFORMATEX; PCM's begins with 1.
  constexpr size_t kSubformat = sizeof(WAVEFORMATEX) + 6;
  if (wave.wFormatTag == kExtensibleTag && format.size() >= kSubformat + 16) {
    pcm = format[kSubformat] == 1 && format[kSubformat + 1] == 0 && format[kSubformat + 2] == 0 &&
          format[kSubformat + 3] == 0;
  }
  const platform::audio::PcmFormat found{wave.nSamplesPerSec, wave.nChannels,
                                         wave.wBitsPerSample};
  const bool usable = pcm && (found.bitsPerSample == 8 || found.bitsPerSample == 16) &&
                      (found.channels == 1 || found.channels == 2) &&
                      found.samplesPerSecond > 0 && wave.nBlockAlign == found.BlockAlign();
  return usable ? found : platform::audio::PcmFormat{};
}

}  // namespace

ToneFrames::ToneFrames(uint32_t rate, double frequency)
    : rate_(rate), step_(2 * std::numbers::pi * frequency / rate) {}

bool ToneFrames::Next(Frame& frame) {
  // Whole cycles fit in a second of whole-hertz tones: the phase repeats
  // every `rate_` frames, so it never loses precision however long it runs.
  const double phase = step_ * static_cast<double>(index_ % rate_);
  ++index_;
  const auto value = static_cast<int32_t>(std::lround(16383.0 * std::sin(phase)));
  frame = {value, value};
  return true;
}

std::unique_ptr<WavFrames> WavFrames::Open(const std::string& path, std::string* error) {
  auto frames = std::unique_ptr<WavFrames>(new WavFrames);
  try {
    frames->file_ = std::make_unique<media::avi::FileByteSource>(path);
    const media::avi::WavFile wav = media::avi::ReadWav(*frames->file_);
    frames->format_ = PcmOf(wav.format);
    if (frames->format_.channels == 0) {
      *error = "the microphone's WAV file '" + path +
               "' holds no 8- or 16-bit mono or stereo PCM";
      return nullptr;
    }
    frames->next_ = wav.dataOffset;
    frames->end_ = wav.dataOffset + wav.dataSize;
  } catch (const std::exception& failure) {
    *error = "cannot read the microphone's WAV file '" + path + "': " + failure.what();
    return nullptr;
  }
  return frames;
}

bool WavFrames::Refill() {
  const size_t align = format_.BlockAlign();
  const uint64_t left = (end_ - next_) / align * align;
  const size_t size = static_cast<size_t>(std::min<uint64_t>(left, kBlockBytes / align * align));
  if (size == 0) return false;
  block_.resize(size);
  // A file that shrank under us ends the sound.
  if (!file_->ReadAt(next_, block_.data(), size)) return false;
  next_ += size;
  used_ = 0;
  return true;
}

bool WavFrames::Next(Frame& frame) {
  const size_t align = format_.BlockAlign();
  if (used_ + align > block_.size()) {
    if (!Refill()) {
      block_.clear();
      return false;
    }
  }
  const std::span<const uint8_t> bytes = std::span<const uint8_t>(block_).subspan(used_, align);
  used_ += align;
  for (uint16_t channel = 0; channel < format_.channels; ++channel) {
    int32_t value;
    if (format_.bitsPerSample == 8) {
      value = (int32_t{bytes[channel]} - 128) * 256;
    } else {
      value = support::LoadLeInt16(bytes, 2 * channel);
    }
    frame[channel] = value;
  }
  if (format_.channels == 1) frame[1] = frame[0];
  return true;
}

ConvertingCapture::ConvertingCapture(std::unique_ptr<FrameSource> source,
                                     const platform::audio::PcmFormat& format)
    : source_(std::move(source)), format_(format) {}

bool ConvertingCapture::Advance() {
  if (!haveFollowing_) {
    haveCurrent_ = false;
    return false;
  }
  current_ = following_;
  ++sourceIndex_;
  haveFollowing_ = source_->Next(following_);
  return true;
}

bool ConvertingCapture::NextFrame(Frame& frame) {
  if (!started_) {
    started_ = true;
    haveCurrent_ = source_->Next(current_);
    haveFollowing_ = haveCurrent_ && source_->Next(following_);
  }
  if (!haveCurrent_) return false;
  // Output frame n lies at n * sourceRate / rate source frames.
  const uint64_t position = produced_ * source_->Rate();
  const uint64_t index = position / format_.samplesPerSecond;
  const uint64_t fraction = position % format_.samplesPerSecond;
  while (sourceIndex_ < index) {
    if (!Advance()) return false;
  }
  ++produced_;
  if (fraction == 0 || !haveFollowing_) {
    frame = current_;
    return true;
  }
  for (size_t channel = 0; channel < 2; ++channel) {
    const int64_t from = current_[channel];
    const int64_t to = following_[channel];
    frame[channel] = static_cast<int32_t>(
        from + (to - from) * static_cast<int64_t>(fraction) / format_.samplesPerSecond);
  }
  return true;
}

size_t ConvertingCapture::Read(std::span<uint8_t> buffer) {
  const size_t align = format_.BlockAlign();
  size_t written = 0;
  Frame frame;
  while (written + align <= buffer.size() && NextFrame(frame)) {
    const std::span<uint8_t> out = buffer.subspan(written, align);
    for (uint16_t channel = 0; channel < format_.channels; ++channel) {
      const int32_t value = Clamp16(format_.channels == 1 ? (frame[0] + frame[1]) / 2
                                                          : frame[channel]);
      if (format_.bitsPerSample == 8) {
        out[channel] = static_cast<uint8_t>((value >> 8) + 128);
      } else {
        support::StoreLe16(out, 2 * channel, static_cast<uint16_t>(value));
      }
    }
    written += align;
  }
  return written;
}

}  // namespace ksv::simcam
