// The camera access library's per-caller state: the context handed out as
// the handle, and the bulk state it owns.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "camapi/stream_reassembler.h"
#include "codec/decoder.h"
#include "common/work_folder.h"
#include "include/oksv1api.h"
#include "include/oksv1dnl.h"

namespace ksv::camapi {

struct CameraContext;

// Sizes the library works with.
inline constexpr uint32_t kInitialItemCapacity = 65536;
inline constexpr size_t kDecodeBufferBytes = 640 * 480 * 3;
inline constexpr uint32_t kDefaultUpSampleRate = 22050;
inline constexpr uint32_t kMaxClips = 256;
inline constexpr int kJpegQuality = 80;
inline constexpr const char* kClipFolderName = "RM900Clp";

// What an item hook answers.
inline constexpr int kItemGoOn = 1;
inline constexpr int kItemCancelled = 2;
inline constexpr int kItemFailed = 0;

// What a frame hook answers after each decoded frame.
enum class FrameHookResult { kGoOn, kCancelled };

using ItemHook = int (*)(CameraContext& context);
using FrameHook = FrameHookResult (*)(CameraContext& context);

// The bulk side of a context: the connection, the item being handled and
// the decoder of stored frames.
struct BulkContext {
  uint16_t storedCount = 0;
  uint32_t itemCapacity = 0;
  BULK_HANDLE handle = 0;
  std::vector<uint8_t> itemBuffer;
  uint32_t itemSize = 0;
  // The current item, from its per-item header.
  uint16_t qIndex = 0;
  uint32_t clipFrameCount = 0;
  uint32_t clipFrameMs = 0;
  uint16_t kind = 0;
  uint32_t dataSize = 0;
  uint32_t blockSize = 0;
  uint32_t tableOffset = 0;
  const uint8_t* dataStart = nullptr;
  std::array<uint8_t, BULK_JPEG_HEADER_BYTES> jpegHeader{};
  std::array<uint8_t, BULK_QTABLE_BYTES> qTable{};
  ItemHook itemHook = nullptr;
  FrameHook burstFrameHook = nullptr;
  FrameHook clipFrameHook = nullptr;
  std::vector<uint8_t> decodeBuffer;
  uint32_t decodeWidth = 0;
  uint32_t decodeHeight = 0;
  uint32_t fetchPending = 0;
  // The clip being converted: its stored-item header and its bytes in all
  // (header included).
  const uint8_t* clipHeader = nullptr;
  size_t clipBytes = 0;
  uint32_t upSampleRate = kDefaultUpSampleRate;
  // Each context has its own decoder, so that one context's teardown never
  // pulls the tables from under another.
  codec::StoredFrameDecoder decoder;
};

struct CameraContext {
  KXCAMAPI_BeginItemCallback beginItem = nullptr;
  KXCAMAPI_EndItemCallback endItem = nullptr;
  intptr_t userData = 0;
  HINSTANCE module = nullptr;
  HWND window = nullptr;
  std::unique_ptr<BulkContext> bulk;
  HGLOBAL frameBitmap = nullptr;
  int32_t loResClipWidth = 160;
  int32_t loResClipHeight = 112;
  HGLOBAL burstBitmap = nullptr;
  int32_t burstWidth = 320;
  int32_t burstHeight = 240;
  uint32_t itemIndex = 0;
  // The handle's own sub-folder of the clip work folder, which other
  // handles, in this process or another, never touch; clipFolder is its
  // path (ends in "/").
  common::WorkFolder clipWork;
  std::string clipFolder;
  std::vector<std::string> clipInfoPaths = std::vector<std::string>(kMaxClips);
  // Frames of the current clip; counted on the clip graph's video thread
  // while the calling thread reads it for progress (both through
  // std::atomic_ref).
  uint32_t frameCounter = 0;
  char pathBuffer[KXCAMAPI_PATH_BYTES] = {};
  int32_t cancel = 0;
  intptr_t clipDoneEvent = -1;
  void* clipSlot = nullptr;
  KXCAMAPI_ProgressCallback progress = nullptr;
  KXCAMAPI_ProgressRecord record{};
  StreamReassembler stream;
  // Why the library itself stopped the stream (0: it did not), and the
  // number of items it holds.
  int streamStop = 0;
  uint32_t streamItems = 0;
  // Where the frames of the burst being saved lie; reused.
  std::vector<std::span<const uint8_t>> burstFrames;
  // Reused for every file written, so a download allocates only when an
  // item is larger than any before it.
  std::vector<uint8_t> fileBuffer;
};

// The process-wide KSV mode flag.
bool KsvMode();

// Hands the path buffer to BeginItemCallback (cleared first, and always
// zero-terminated afterwards) and tells whether the cancel flag is set.
bool BeginItem(CameraContext& context, int kind);
// Calls EndItemCallback; tells whether the cancel flag is set.
bool EndItem(CameraContext& context, DWORD status);

// The item hook of the per-item download.
int HandleFetchedItem(CameraContext& context);
// The burst frame hook: writes the frame in decodeBuffer as a JPEG file.
FrameHookResult SaveBurstFrame(CameraContext& context);

}  // namespace ksv::camapi

// The handle type of the exported interface is this context.
struct CameraContext : ksv::camapi::CameraContext {};
