// A clip's files in the clip work folder: its information file (the
// frame count, the frame period, the folder, and one bitmap file name a
// frame) and its frame bitmap files. They stay there until the context
// ends, so the clip's first frame can be read back after the clip is made.
// (Frame files are saved by SaveClipFrame, camapi/clip_frame_files.h.)
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "camapi/clip_frame_files.h"
#include "include/win32_types.h"

namespace ksv::camapi {

struct CameraContext;

// What a clip's information file says about it.
struct ClipInfo {
  uint32_t total = 0;    // TOTAL: frames in the clip
  uint16_t frameMs = 0;  // FRAME_MS: milliseconds per frame
  std::string folder;    // CLIP_PATH: where the frame files are
};

// Makes the clip work folder if needed and writes the information file of
// the clip numbered context.itemIndex (which must be below 256): TOTAL,
// FRAME_MS and CLIP_PATH under a fresh "CLP" name ending in "_<index>.PRO",
// remembered in context.clipInfoPaths. False when it cannot be written.
bool WriteClipInfo(CameraContext& context, uint32_t total, uint32_t frameMs);

// Reads the information file; nothing when TOTAL is missing.
std::optional<ClipInfo> ReadClipInfo(const std::string& infoFile);

// Frame `frame` of the clip whose information file is `infoFile`, as a new
// packed bitmap the caller frees; null when the clip has no such frame or
// its file cannot be read. `folder` is where the frame files are.
HGLOBAL LoadClipFrame(const std::string& infoFile, const std::string& folder, uint32_t frame);

}  // namespace ksv::camapi
