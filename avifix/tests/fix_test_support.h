// What the fix tests share: small AVI files written with our AVI writer
// (as the AVI Mux writes them), their contents read back, and the checks
// every fixed file must pass.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/avi/avi_file.h"

namespace ksv::avifix::testing {

enum class Video { kMjpeg, kRgb, kI420 };
enum class Audio { kNone, kPcm, kTag0400 };

// A clip: `frames` frames at `fps`, 32 x 24, each different; sound to
// match (8,000 Hz mono, 16-bit PCM or the same bytes under tag 0x0400),
// `audioSeconds` long (the video's length when negative).
struct ClipSpec {
  Video video = Video::kMjpeg;
  Audio audio = Audio::kPcm;
  int frames = 10;
  uint32_t fps = 10;
  double audioSeconds = -1;
  std::vector<bool> keyFrames;  // per frame; empty: all key frames
  bool interleaved = true;      // false: all video first, then all sound
  bool legacyIndex = true;      // idx1 beside the OpenDML index
};

void WriteClip(const std::filesystem::path& path, const ClipSpec& spec);

// The raw frame of a clip (RGB: 32 x 24, 24-bit bottom-up; I420: planes).
std::vector<uint8_t> RawFrame(Video video, int n);

// A file's streams as our reader finds them, with each chunk's bytes.
struct Contents {
  media::avi::File file;
  std::vector<std::vector<uint8_t>> videoChunks;
  std::vector<uint8_t> audioBytes;
  std::vector<uint8_t> videoFormat, audioFormat;
  bool hasIdx1 = false;
};
Contents ReadContents(const std::filesystem::path& path);

std::vector<uint8_t> FileBytes(const std::filesystem::path& path);

// Whether ffmpeg and ffprobe are installed (asked once).
bool HaveFfmpeg();

// The names in a folder, sorted.
std::vector<std::string> FolderListing(const std::filesystem::path& folder);

// Checks of a file the fix wrote: an idx1 index, a main header whose frame
// count, frame period and suggested buffer size fit its video, sound
// interleaved with the video (never more than half a second apart along
// the file), and, with `probe`, ffprobe reads it (when installed). Empty
// when all hold, else what failed.
std::string CheckPlayable(const std::filesystem::path& path, bool probe = false);

}  // namespace ksv::avifix::testing
