// The per-item clip's AVI file: the media graph library's AVI maker pulls
// the clip's frame bitmap files, one a call, through ClipFrameSupplier while
// the calling thread waits for the clip-done event.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "include/oksv1gra.h"
#include "include/win32_types.h"

namespace ksv::camapi {

struct CameraContext;

// What ClipFrameSupplier works from; lives in the context's clipSlot while
// the clip is built.
struct ClipMakerRecord {
  std::string infoFile;  // the clip's information file
  std::string folder;    // CLIP_PATH
  uint32_t total = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  QmgHandle* graph = nullptr;
  uint32_t nextFrame = 1;
  uint16_t frameMs = 0;
  HANDLE doneEvent = nullptr;
  // Set by the supplier (on the graph's thread), read by the waiter.
  std::atomic<bool> signalled{false};
  std::atomic<bool> ended{false};  // "no more frames" was answered
  // The graph stopped on an error (a failed write, for one): set by the
  // graph library's callback on the waiting thread.
  std::atomic<bool> aborted{false};
  std::atomic<int64_t> lastCallNs{0};
};

// Called by the AVI maker once per frame: copies frame `nextFrame` into
// `frame` (rows bottom-up, unpadded) and moves on; after frame TOTAL it
// signals the clip-done event once. Past TOTAL it answers 0 (no more
// frames). A frame that cannot be loaded leaves `frame` as it is and still
// counts.
int32_t ClipFrameSupplier(BYTE* frame, intptr_t record);

// Builds the record from the clip's information file and its frame 1. False
// when TOTAL is missing or frame 1 cannot be read.
bool BuildClipMakerRecord(const std::string& infoFile, ClipMakerRecord& record);

// Makes the AVI file at the context's path buffer from the frame files of
// the clip numbered context.itemIndex, waiting until it is written. False
// when the graph cannot be built or started, stops on an error, fails to
// stop, or stops asking for frames for the stall limit; then no file of
// this run stands at the path (a file that was there before stays).
bool MakeClipAvi(CameraContext& context);

// How long a graph may go without asking for a frame before the clip
// counts as failed: 15 seconds unless a test sets less.
void SetClipStallLimit(std::chrono::milliseconds limit);

}  // namespace ksv::camapi
