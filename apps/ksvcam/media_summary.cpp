#include "apps/ksvcam/media_summary.h"

#include <cstdio>
#include <span>
#include <string>

#include "apps/ksvcam/console.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/wav_file.h"
#include "support/byte_order.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

using support::LoadLe16;
using support::LoadLe32;

// The names people know a sound format by; null for one without.
const char* SoundFormatName(uint16_t tag) {
  switch (tag) {
    case 0x0001: return "PCM";
    case 0x0002: return "MS ADPCM";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0055: return "MP3";
    default: return nullptr;
  }
}

// "22050 Hz mono PCM" from a WAVEFORMATEX.
std::string SoundText(std::span<const uint8_t> format) {
  if (format.size() < 16) return "sound of an unreadable format";
  const uint16_t tag = LoadLe16(format, 0);
  const uint16_t channels = LoadLe16(format, 2);
  const char* name = SoundFormatName(tag);
  char tagText[24];
  std::snprintf(tagText, sizeof tagText, "format 0x%04X", tag);
  const std::string layout = channels == 1   ? "mono"
                             : channels == 2 ? "stereo"
                                             : std::to_string(channels) + " channels";
  return std::to_string(LoadLe32(format, 4)) + " Hz " + layout + " " +
         (name != nullptr ? name : tagText);
}

std::string FourccText(uint32_t code) {
  if (code == 0) return "uncompressed";
  std::string text = "'";
  for (int shift = 0; shift < 32; shift += 8) {
    const char c = static_cast<char>(code >> shift);
    text.push_back(c >= 32 && c <= 126 ? c : '?');
  }
  return text + "'";
}

void CheckFile(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error) || fs::file_size(file, error) == 0) {
    throw CommandFailure("nothing was written to " + Quoted(file));
  }
}

}  // namespace

AviSummary SummariseAvi(const fs::path& file) {
  CheckFile(file);
  media::avi::File avi;
  try {
    media::avi::FileByteSource source(file.string());
    avi = media::avi::ReadAvi(source);
  } catch (const std::exception& failure) {
    throw CommandFailure(Quoted(file) + " is not a readable AVI file: " + failure.what());
  }
  AviSummary summary;
  std::string sound;
  for (const media::avi::Stream& stream : avi.streams) {
    if (stream.IsVideo() && summary.width == 0 && stream.format.size() >= 40) {
      const std::span<const uint8_t> bitmap = stream.format;
      for (const media::avi::IndexEntry& entry : stream.index) {
        ++(entry.size == 0 ? summary.dropped : summary.frames);
      }
      summary.width = LoadLe32(bitmap, 4);
      const auto height = static_cast<int32_t>(LoadLe32(bitmap, 8));
      summary.height = static_cast<uint32_t>(height < 0 ? -height : height);
      summary.framesPerSecond = stream.header.scale == 0 ? 0
                                : static_cast<double>(stream.header.rate) / stream.header.scale;
      const size_t chunks = summary.frames + summary.dropped;
      char text[160];
      std::snprintf(text, sizeof text, "%zu frame%s of %ux%u %s at %.3g fps (%.3f s", summary.frames,
                    summary.frames == 1 ? "" : "s", summary.width, summary.height,
                    FourccText(LoadLe32(bitmap, 16)).c_str(), summary.framesPerSecond,
                    summary.framesPerSecond > 0 ? static_cast<double>(chunks) / summary.framesPerSecond
                                                : 0.0);
      summary.text = text;
      if (summary.dropped != 0) summary.text += ", " + std::to_string(summary.dropped) + " dropped";
      summary.text += ")";
    } else if (stream.IsAudio() && !summary.sound) {
      summary.sound = true;
      sound = "sound " + SoundText(stream.format);
    }
  }
  if (summary.text.empty()) summary.text = "no video";
  summary.text += ", " + (summary.sound ? sound : std::string("no sound"));
  return summary;
}

std::string SummariseWav(const fs::path& file) {
  CheckFile(file);
  media::avi::WavFile wav;
  try {
    media::avi::FileByteSource source(file.string());
    wav = media::avi::ReadWav(source);
  } catch (const std::exception& failure) {
    throw CommandFailure(Quoted(file) + " is not a readable WAV file: " + failure.what());
  }
  const uint32_t bytesPerSecond = LoadLe32(wav.format, 8);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f s",
                bytesPerSecond == 0 ? 0.0 : static_cast<double>(wav.dataSize) / bytesPerSecond);
  return std::string(seconds) + " of sound, " + SoundText(wav.format);
}

}  // namespace ksv::ksvcam
