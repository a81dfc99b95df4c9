// Where `ksvcam stream` puts the frames the driver delivers: a file per
// frame in a folder, or one YUV4MPEG2 stream that standard players open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "codec/frame_format.h"

namespace ksv::ksvcam {

// The stream formats a capture application can open.
enum class StreamFormat {
  kI420,   // planar 4:2:0
  kBgr24,  // 24-bit, rows bottom-up
  kKxjs,   // the camera's compressed frames passed through
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // One delivered frame, exactly as the driver returned it.
  virtual void Write(std::span<const uint8_t> frame) = 0;
  // Makes the output whole; until then a -o file is not in place.
  virtual void Finish() = 0;
  virtual std::string Description() const = 0;
};

// frame_000001.bmp (bgr24), .i420 or .kxjs, counting from 1. Refuses up
// front, naming one, when the folder already holds frame files of the
// format and `overwrite` is false.
std::unique_ptr<FrameSink> MakeFolderSink(const std::filesystem::path& folder,
                                          StreamFormat format, codec::FrameSize size,
                                          bool overwrite);

// A YUV4MPEG2 file of planar frames (support/picture/y4m_writer.h) at the
// rate of `interval` (100-ns units), replaced if it exists.
std::unique_ptr<FrameSink> MakeY4mSink(const std::filesystem::path& path, codec::FrameSize size,
                                       uint64_t interval);

}  // namespace ksv::ksvcam
