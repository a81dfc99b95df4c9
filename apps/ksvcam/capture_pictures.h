// Where `ksvcam capture --out DIR` puts the frames: one picture a frame,
// frame_000001.png (planar frames, converted) or frame_000001.bmp (24-bit
// frames), counting from 1.
#pragma once

#include <filesystem>
#include <memory>

#include "apps/ksvcam/stream_output.h"

namespace ksv::ksvcam {

// Refuses up front, naming one, when the folder already holds frame
// pictures of that kind and `overwrite` is false.
std::unique_ptr<FrameSink> MakePictureFolderSink(const std::filesystem::path& folder,
                                                 bool planar, codec::FrameSize size,
                                                 bool overwrite);

}  // namespace ksv::ksvcam
