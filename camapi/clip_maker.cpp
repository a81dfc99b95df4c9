#include "camapi/clip_maker.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

#include "camapi/camera_context.h"
#include "camapi/clip_files.h"
#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"
#include "platform/sync/sync.h"
#include "platform/ui/user32.h"

namespace ksv::camapi {

namespace {

using Clock = std::chrono::steady_clock;

// The compressor the clips are written with; with the Vexel 5 flag set the
// graph library takes a Vexel 5 encoder instead when it meets one first.
constexpr const char* kClipCompressor = "Cinepak Codec by Radius";
// A graph that asks for no frame this long has stopped (a filter that
// failed without saying so); a test may shorten it.
std::atomic<int64_t> stallLimitNs{std::chrono::nanoseconds(std::chrono::seconds(15)).count()};
// After the last frame, how long the graph may take to report completion.
constexpr auto kCompletionGrace = std::chrono::seconds(3);

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

void SignalOnce(ClipMakerRecord& record) {
  if (!record.signalled.exchange(true)) SetEvent(record.doneEvent);
}

int32_t BitsForColours(uint32_t colours) {
  switch (colours) {
    case 2:
      return 1;
    case 16:
      return 4;
    case 256:
      return 8;
    default:
      return 24;
  }
}

// Copies the pixels of the locked packed bitmap into the supplier's
// unpadded bottom-up buffer when it has the record's size and depth.
void CopyPixels(const void* bitmap, const ClipMakerRecord& record, BYTE* frame) {
  const auto* header = static_cast<const BITMAPINFOHEADER*>(bitmap);
  if (header->biWidth != record.width || header->biHeight != record.height ||
      header->biBitCount != record.bitsPerPixel) {
    return;
  }
  const size_t row = (static_cast<size_t>(record.width) * record.bitsPerPixel + 7) / 8;
  const size_t stride = common::PackedRowBytes(record.width, header->biBitCount);
  const uint8_t* pixels = common::PackedBitmapPixels(bitmap);
  for (int32_t y = 0; y < record.height; ++y) {
    std::memcpy(frame + y * row, pixels + y * stride, row);
  }
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Waits, pumping the thread's messages, until the supplier has handed over
// the last frame and the graph has completed. False when the graph stopped
// asking for frames first.
bool WaitForClip(ClipMakerRecord& record) {
  for (;;) {
    // The last call is read before the clock, so a frame handed over
    // meanwhile never makes the time since it negative; the check comes
    // before each wait, so a limit of 0 lets the graph no time at all.
    const int64_t lastCallNs = record.lastCallNs.load();
    if (NowNs() - lastCallNs >= stallLimitNs.load()) return false;
    const DWORD waited = WaitForSingleObject(record.doneEvent, 10);
    PumpMessages();
    if (record.aborted.load()) return false;
    if (waited == WAIT_OBJECT_0) break;
    if (waited != WAIT_TIMEOUT) return false;
  }
  // The last frame is on its way to the file; stopping now could lose it.
  // A write that fails now still stops the graph on an error.
  const auto deadline = Clock::now() + kCompletionGrace;
  while (Clock::now() < deadline) {
    if (record.ended.load() && QMG_GetEventFlag(record.graph) == 0) break;
    PumpMessages();
    if (record.aborted.load()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  PumpMessages();
  return !record.aborted.load();
}

// The graph library's callback: the only word of a graph stopped by an
// error.
void HearGraph(int32_t code, intptr_t user) {
  if (code == QMG_CODE_ERROR_ABORT) reinterpret_cast<ClipMakerRecord*>(user)->aborted = true;
}

// Identifies the file at a path, to tell a file this run made from one
// that was there before.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  int64_t modifiedNs = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
FileIdentity IdentityOf(const char* path) {
  struct stat status {};
  if (::stat(path, &status) != 0) return {};
  return {true, status.st_dev, status.st_ino,
          int64_t{status.st_mtim.tv_sec} * 1'000'000'000 + status.st_mtim.tv_nsec};
}

bool RunGraph(CameraContext& context, ClipMakerRecord& record) {
  QmgHandle* graph = record.graph;
  QMG_UseVexel5CompressionFilter(graph, 1);
  QMG_UseScalingFilter(graph, KsvMode() ? 1 : 0);
  if (!QMG_BuildImage2AVI(graph, record.width, record.height, record.bitsPerPixel,
                          ClipFrameSupplier, reinterpret_cast<intptr_t>(&record),
                          context.pathBuffer, kClipCompressor)) {
    return false;
  }
  // A period the maker refuses (0) leaves its default of 100 ms.
  QMG_AviMaker_MillisecondPerFrame(graph, record.frameMs);
  QMG_SetCallbackProc(graph, HearGraph, reinterpret_cast<intptr_t>(&record));
  QMG_SetEventFlag(graph);
  record.lastCallNs = NowNs();
  if (!QMG_Play(graph)) return false;
  const bool made = WaitForClip(record);
  const bool stopped = QMG_Stop(graph) != 0;
  return made && stopped && !record.aborted.load();
}

}  // namespace

int32_t ClipFrameSupplier(BYTE* frame, intptr_t user) {
  auto& record = *reinterpret_cast<ClipMakerRecord*>(user);
  record.lastCallNs = NowNs();
  if (record.nextFrame > record.total) {
    SignalOnce(record);
    record.ended = true;
    return 0;
  }
  if (HGLOBAL bitmap = LoadClipFrame(record.infoFile, record.folder, record.nextFrame)) {
    if (frame != nullptr) CopyPixels(GlobalLock(bitmap), record, frame);
    GlobalUnlock(bitmap);
    GlobalFree(bitmap);
  }
  ++record.nextFrame;
  if (record.nextFrame > record.total) SignalOnce(record);
  return 1;
}

bool BuildClipMakerRecord(const std::string& infoFile, ClipMakerRecord& record) {
  const auto info = ReadClipInfo(infoFile);
  if (!info) return false;
  record.infoFile = infoFile;
  record.folder = info->folder;
  record.total = info->total;
  record.frameMs = info->frameMs;
  record.nextFrame = 1;
  HGLOBAL first = LoadClipFrame(infoFile, record.folder, 1);
  if (first == nullptr) return false;
  const void* bitmap = GlobalLock(first);
  record.width = common::PackedBitmapWidth(bitmap);
  record.height = common::PackedBitmapHeight(bitmap);
  record.bitsPerPixel = BitsForColours(common::PackedBitmapColourCount(bitmap));
  GlobalUnlock(first);
  GlobalFree(first);
  return true;
}

void SetClipStallLimit(std::chrono::milliseconds limit) {
  stallLimitNs = std::chrono::nanoseconds(limit).count();
}

bool MakeClipAvi(CameraContext& context) {
  const FileIdentity before = IdentityOf(context.pathBuffer);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) return false;
  context.clipDoneEvent = reinterpret_cast<intptr_t>(event);
  auto record = std::make_unique<ClipMakerRecord>();
  record->doneEvent = event;
  bool made = false;
  if (BuildClipMakerRecord(context.clipInfoPaths[context.itemIndex], *record)) {
    context.clipSlot = record.get();
    record->graph = QMG_Init(context.module, context.window);
    if (record->graph != nullptr) {
      made = RunGraph(context, *record);
      QMG_Reset(record->graph);
    }
  }
  // The graph is gone: nothing signals the event any more.
  CloseHandle(event);
  context.clipDoneEvent = -1;
  context.clipSlot = nullptr;
  // A clip that failed leaves no file of its own behind, however far the
  // graph got; a file that was there before is not this run's to delete.
  if (!made) {
    const FileIdentity after = IdentityOf(context.pathBuffer);
    if (after.exists && !(after == before)) ::unlink(context.pathBuffer);
  }
  return made;
}

}  // namespace ksv::camapi
