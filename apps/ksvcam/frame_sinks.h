// Where `ksvcam stream` and `ksvcam capture` put the frames the driver
// delivers: a file per frame in a folder, or one YUV4MPEG2 stream that
// standard players open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "codec/frame_format.h"

namespace ksv::ksvcam {

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // One delivered frame, exactly as the driver returned it.
  virtual void Write(std::span<const uint8_t> frame) = 0;
  // Makes the output whole; until then a -o file is not in place.
  virtual void Finish() = 0;
  virtual std::string Description() const = 0;
};

// The file each frame becomes.
enum class FrameFile {
  kI420,  // .i420: the planar frame as delivered
  kKxjs,  // .kxjs: the camera's compressed frame passed through
  kBmp,   // .bmp: the 24-bit frame as a picture
  kPng,   // .png: the planar frame as a picture
};

// The -o name that means standard output, as for ffmpeg and ffplay.
inline constexpr const char* kStandardOutput = "-";

// Checks where the frames are to go before anything starts: a folder
// (--out), one YUV4MPEG2 stream (-o FILE.y4m, or -o - for standard output;
// planar frames only), or neither. Throws UsageError for both or for a -o
// that cannot hold them.
void CheckFrameOutput(const std::string& outDir, const std::string& y4mPath, bool planar);

// The sink of the checked output: MakeFolderSink, MakeY4mSink,
// MakeY4mOutputSink for "-", or none.
std::unique_ptr<FrameSink> MakeFrameSink(const std::string& outDir, const std::string& y4mPath,
                                         FrameFile kind, codec::FrameSize size, uint64_t interval,
                                         bool overwrite);

// frame_000001.EXT, frame_000002.EXT ..., counting from 1. Refuses up front,
// naming one, when the folder already holds frame files of the kind and
// `overwrite` is false.
std::unique_ptr<FrameSink> MakeFolderSink(const std::filesystem::path& folder, FrameFile kind,
                                          codec::FrameSize size, bool overwrite);

// A YUV4MPEG2 file of planar frames (support/picture/y4m_writer.h) at the
// rate of `interval` (100-ns units), replaced if it exists.
std::unique_ptr<FrameSink> MakeY4mSink(const std::filesystem::path& path, codec::FrameSize size,
                                       uint64_t interval);

// The YUV4MPEG2 stream on standard output, frame by frame as it comes, for
// a player or another program to read (`ksvcam capture -o - | ffplay -`).
// A reader that goes away ends the run with a CommandFailure saying so,
// not with SIGPIPE.
std::unique_ptr<FrameSink> MakeY4mOutputSink(codec::FrameSize size, uint64_t interval);

}  // namespace ksv::ksvcam
