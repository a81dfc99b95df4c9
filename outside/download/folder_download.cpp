#include "outside/download/folder_download.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <utility>

#include "include/oksv1dnl.h"
#include "platform/memory/global_memory.h"
#include "outside/download/item_files.h"
#include "platform/module/module.h"
#include "platform/root/system_root.h"
#include "platform/ui/ui.h"
#include "platform/ui/user32.h"
#include "support/picture/bmp_file.h"
#include "support/picture/picture_file.h"

namespace ksv::outside::download {

namespace {

namespace fs = std::filesystem;

std::string StatusText(DWORD status) {
  switch (status) {
    case KXCAMAPI_DISK_FULL:
      return "the disk is full";
    case KXCAMAPI_WRITE_FAILED:
      return "the file could not be written";
    case KXCAMAPI_SAVE_FAILED:
      return "the picture could not be saved";
    case KXCAMAPI_ITEM_FAILED:
      return "the stored frames could not be decoded or assembled";
    case 0x80004005u:
      return "the clip could not be converted";
    case 0x80070057u:
      return "the clip could not be read";
    case 0x80004004u:
      return "the clip's conversion was stopped";
    default: {
      char text[32];
      std::snprintf(text, sizeof text, "status 0x%X", static_cast<unsigned>(status));
      return text;
    }
  }
}

std::string LibraryStatusText(int status) {
  switch (status) {
    case KXCAMAPI_CANCELLED:
      return "the download was stopped";
    case KXCAMAPI_ITEM_FAILED:
      return "an item could not be handled";
    case KXCAMAPI_FETCH_FAILED:
      return "an item could not be fetched from the camera";
    case KXCAMAPI_BAD_STREAM:
      return "the camera sent an impossible item";
    case KXCAMAPI_OUT_OF_MEMORY:
      return "out of memory";
    case KXCAMAPI_STREAM_FAILED:
      return "the camera's stream failed";
    default:
      return "the camera library answered " + std::to_string(status);
  }
}

std::string BulkFailure() {
  switch (BULK_GetErrCode(0)) {
    case BULK_ERR_NO_MEMORY_IMAGE:
      return "the camera memory image cannot be read";
    case BULK_ERR_BAD_MEMORY_IMAGE:
      return "the camera memory image is damaged";
    case BULK_ERR_OUT_OF_MEMORY:
      return "out of memory";
    case BULK_ERR_NO_CAMERA:
      return "no camera is plugged in";
    default:
      return "the camera is not connected";
  }
}

// The application side of the library's callbacks.
class DownloadSession {
 public:
  DownloadSession(const DownloadRequest& request, DownloadListener& listener)
      : request_(request), listener_(listener) {}

  void Begin(int kind, char* path, int32_t* cancel) {
    kind_ = kind;
    inItem_ = true;
    begunSinceComplete_ = true;
    if (IsClipKind(kind)) ++clipsBegun_;
    const std::optional<std::string> name = namer_.Next(kind);
    if (!name) {
      // No file for a kind the library does not name: the download ends
      // with the library's failure.
      name_ = "item of kind " + std::to_string(kind);
      *cancel = 1;
      return;
    }
    name_ = *name;
    const fs::path target = request_.outDir / name_;
    if (!request_.overwrite && (Exists(target) || (request_.bitmaps && IsPictureKind(kind) &&
                                                   Exists(fs::path(target).replace_extension(".BMP"))))) {
      conflict_ = target;
      *cancel = 1;
      return;
    }
    const std::string text = target.string();
    if (text.size() >= KXCAMAPI_PATH_BYTES) {
      tooLong_ = true;
      *cancel = 1;
      return;
    }
    std::snprintf(path, KXCAMAPI_PATH_BYTES, "%s", text.c_str());
  }

  void End(DWORD status, const char* path) {
    inItem_ = false;
    if (status != KXCAMAPI_OK) {
      summary_.failures.push_back(name_ + ": " + StatusText(status));
      listener_.Failed(summary_.failures.back());
    } else {
      Written(path);
      if (request_.firstFrames && IsClipKind(kind_)) SaveFirstFrame();
    }
    // The stream's progress calls redraw the bar; one item at a time, the
    // files done are all there is to show.
    if (request_.perItem) {
      ++itemsDone_;
      const unsigned overall = expected_ == 0 ? 100 : std::min(100u, itemsDone_ * 100 / expected_);
      listener_.Progress(itemsDone_, overall, 100, name_);
    }
  }

  // The number of files the per-item download is expected to make.
  void Expect(unsigned files) { expected_ = files; }

  int Progress(const KXCAMAPI_ProgressRecord& record) {
    // The library handles an item right after the step that completes it;
    // one that made no file by the next step was passed over.
    if (record.itemsCompleted > itemsCompleted_) {
      NoteWhetherPassedOver();
      itemsCompleted_ = record.itemsCompleted;
      begunSinceComplete_ = false;
    }
    // Between the begin and the end of a file (a clip being converted) the
    // item's share is that of its frames.
    listener_.Progress(record.itemsCompleted, record.overallPercent, record.itemPercent,
                       inItem_ || record.itemPercent == 100 ? name_ : "");
    return 0;
  }

  void UseContext(KXCAMAPI_HANDLE context) { context_ = context; }

  // The stream's last item, once the stream is over.
  void NoteWhetherPassedOver() {
    if (itemsCompleted_ != 0 && !begunSinceComplete_) passedOver_.push_back(itemsCompleted_ - 1);
    begunSinceComplete_ = true;
  }
  // The items (indexes in the camera's memory) the stream made no file of.
  const std::vector<int>& passedOver() const { return passedOver_; }
  size_t clipsBegun() const { return clipsBegun_; }

  DownloadSummary& summary() { return summary_; }
  const fs::path& conflict() const { return conflict_; }
  bool tooLong() const { return tooLong_; }

 private:
  static bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
  }

  // The clip's first frame from the library, as a PNG file beside the clip.
  void SaveFirstFrame() {
    const std::string name = fs::path(name_).replace_extension(".png").string();
    HGLOBAL frame = KXCAMAPI_GetVideoFrame(context_);
    if (frame == nullptr) {
      summary_.failures.push_back(name + ": the library has no first frame" +
                                  (request_.ksv ? " in KSV mode" : ""));
      listener_.Failed(summary_.failures.back());
      return;
    }
    try {
      const auto* bits = static_cast<const uint8_t*>(GlobalLock(frame));
      const picture::RgbPicture first = picture::DecodeDib({bits, GlobalSize(frame)}, name);
      GlobalUnlock(frame);
      picture::WritePicture(request_.outDir / name, first,
                            request_.overwrite ? picture::ExistingFile::kReplace
                                               : picture::ExistingFile::kKeep);
      ++summary_.files;
      std::error_code error;
      const auto bytes = fs::file_size(request_.outDir / name, error);
      summary_.bytes += error ? 0 : static_cast<size_t>(bytes);
      listener_.Written(name, error ? 0 : bytes);
    } catch (const std::exception& failure) {
      GlobalUnlock(frame);
      summary_.failures.push_back(name + ": " + failure.what());
      listener_.Failed(summary_.failures.back());
    }
    GlobalFree(frame);
  }

  void Written(const char* path) {
    std::string shown = name_;
    fs::path file = path;
    if (request_.bitmaps && IsPictureKind(kind_)) {
      if (const auto bitmap = ConvertToBitmapFile(file)) {
        file = *bitmap;
        shown = bitmap->filename().string();
      } else {
        // The JPEG file stays: nothing of the picture is lost.
        summary_.failures.push_back(name_ + ": could not be converted to a bitmap");
        listener_.Failed(summary_.failures.back());
      }
    }
    std::error_code error;
    const auto bytes = fs::file_size(file, error);
    ++summary_.files;
    summary_.bytes += error ? 0 : static_cast<size_t>(bytes);
    listener_.Written(shown, error ? 0 : bytes);
  }

  const DownloadRequest& request_;
  DownloadListener& listener_;
  DownloadSummary summary_;
  ItemNamer namer_;
  unsigned itemsDone_ = 0;
  unsigned expected_ = 0;
  int kind_ = 0;
  bool inItem_ = false;
  KXCAMAPI_HANDLE context_ = nullptr;
  DWORD itemsCompleted_ = 0;
  bool begunSinceComplete_ = true;
  std::vector<int> passedOver_;
  size_t clipsBegun_ = 0;
  std::string name_;
  fs::path conflict_;
  bool tooLong_ = false;
};

// Pictures, burst pictures and clips stored (raw recordings are not counted).
unsigned ExpectedFiles(KXCAMAPI_HANDLE context) {
  unsigned total = 0;
  for (auto count : {KXCAMAPI_GetNumHQImg, KXCAMAPI_GetNumLQImg, KXCAMAPI_GetNumVdoClip,
                     KXCAMAPI_GetNumVdoClip_LoRes, KXCAMAPI_GetNumBurst}) {
    int n = 0;
    if (count(context, &n) == KXCAMAPI_OK && n > 0) total += static_cast<unsigned>(n);
  }
  return total;
}

// Refuses, before anything is written, when a file of an earlier download
// would be replaced.
void CheckNothingReplaced(const DownloadRequest& request, KXCAMAPI_HANDLE context) {
  int hq = 0, lq = 0, clips = 0, loRes = 0, bursts = 0;
  KXCAMAPI_GetNumHQImg(context, &hq);
  KXCAMAPI_GetNumLQImg(context, &lq);
  KXCAMAPI_GetNumVdoClip(context, &clips);
  KXCAMAPI_GetNumVdoClip_LoRes(context, &loRes);
  KXCAMAPI_GetNumBurst(context, &bursts);
  const std::pair<int, int> planned[] = {{KXCAMAPI_KIND_HQ_PICTURE, hq},
                                         {KXCAMAPI_KIND_LQ_PICTURE, lq},
                                         {KXCAMAPI_KIND_BURST_PICTURE, bursts},
                                         {KXCAMAPI_KIND_CLIP, clips + loRes}};
  for (const auto& [kind, count] : planned) {
    const ItemNaming naming = *NamingOf(kind);
    for (int i = 0; i < count; ++i) {
      const fs::path file = request.outDir / (naming.prefix + std::to_string(i) + naming.extension);
      std::error_code error;
      const bool taken = fs::exists(fs::symlink_status(file, error)) ||
                         (request.bitmaps && IsPictureKind(kind) &&
                          fs::exists(fs::symlink_status(fs::path(file).replace_extension(".BMP"), error)));
      if (taken) {
        throw DownloadError("'" + request.outDir.string() + "' already holds " +
                             file.filename().string() +
                             " from an earlier download; use -y/--overwrite to replace it");
      }
    }
  }
}

// What an item the stream passed over is, from its header in the camera's
// per-item view (byte 15 its kind, bytes 11..12 its frames): the stream
// converts clips with sound only, up to 256 of them.
std::string PassedOverItem(BULK_HANDLE bulk, int index, size_t clipsStreamed) {
  const int size = BULK_GetNthSize(bulk, index);
  std::vector<BYTE> item(static_cast<size_t>(std::max(size, 0)));
  if (size < 64 || !BULK_GetNthDSC(bulk, index, size, item.data())) return "an item";
  const unsigned frames = item[11] | item[12] << 8;
  switch (item[15]) {
    case 1:
      return clipsStreamed >= 256 ? "a clip past the 256th"
                                  : "a clip without sound (" + std::to_string(frames) + " frames)";
    case 2:
      return "a burst";
    case 3:
    case 4:
      return "a picture";
    case 5:
      return "a raw recording";
    default:
      return "an item";
  }
}

// A line for each item the stream passed over, saying what it is.
std::vector<std::string> DescribePassedOver(const std::vector<int>& indexes, size_t clipsStreamed) {
  std::vector<std::string> lines;
  if (indexes.empty()) return lines;
  const BULK_HANDLE bulk = BULK_Init();
  for (const int index : indexes) {
    lines.push_back("item " + std::to_string(index + 1) + ", " +
                    PassedOverItem(bulk, index, clipsStreamed) +
                    ", is not part of the streamed download; --per-item converts it");
  }
  if (bulk != 0) BULK_Reset(bulk);
  return lines;
}

DownloadSession& SessionOf(intptr_t user) { return *reinterpret_cast<DownloadSession*>(user); }

void OnBegin(intptr_t user, int kind, char* path, int32_t* cancel) {
  SessionOf(user).Begin(kind, path, cancel);
}

void OnEnd(intptr_t user, DWORD status, char* path, int32_t*) { SessionOf(user).End(status, path); }

int OnProgress(intptr_t user, const KXCAMAPI_ProgressRecord* record) {
  return SessionOf(user).Progress(*record);
}

}  // namespace

CameraLibrary::CameraLibrary(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end,
                             intptr_t user, bool ksv) {
  // The library's module lies in the system folder; its clip work folder
  // is made beside it.
  const HINSTANCE module =
      platform::RegisterModule((platform::SystemRoot() / "system32" / "OKSV1API.DLL").string());
  window_ = platform::ui::CreateMessageOnlyWindow();
  context_ = ksv ? KXCAMAPI_InitKSV(begin, end, user, module, window_)
                 : KXCAMAPI_Init(begin, end, user, module, window_);
  if (context_ == nullptr) {
    DestroyWindow(window_);
    throw DownloadError("cannot open the camera: " + BulkFailure());
  }
}

CameraLibrary::~CameraLibrary() {
  KXCAMAPI_Reset(context_);
  DestroyWindow(window_);
}

DownloadSummary DownloadCamera(const DownloadRequest& request, DownloadListener& listener) {
  std::error_code error;
  fs::create_directories(request.outDir, error);
  if (error) {
    throw DownloadError("cannot create '" + request.outDir.string() + "': " + error.message());
  }
  // Said once here rather than once a file.
  if (::access(request.outDir.c_str(), W_OK | X_OK) != 0) {
    throw DownloadError("cannot write into '" + request.outDir.string() +
                        "': " + std::generic_category().message(errno));
  }
  DownloadSession session(request, listener);
  const auto user = reinterpret_cast<intptr_t>(&session);
  CameraLibrary library(OnBegin, OnEnd, user, request.ksv);
  session.UseContext(library.get());
  if (!request.overwrite) CheckNothingReplaced(request, library.get());
  session.Expect(ExpectedFiles(library.get()));
  const auto start = std::chrono::steady_clock::now();
  const int status = request.perItem ? KXCAMAPI_Download(library.get())
                                     : KXCAMAPI_GetAllImgs(library.get(), OnProgress);
  if (!session.conflict().empty()) {
    throw DownloadError("'" + session.conflict().string() +
                         "' is there from an earlier download; use -y/--overwrite to replace it");
  }
  if (session.tooLong()) throw DownloadError("the folder's path is too long for the camera's files");
  DownloadSummary summary = session.summary();
  if (!request.perItem) {
    session.NoteWhetherPassedOver();
    summary.skipped = DescribePassedOver(session.passedOver(), session.clipsBegun());
    for (const std::string& line : summary.skipped) listener.Skipped(line);
  }
  summary.libraryStatus = status;
  if (status != KXCAMAPI_OK) summary.failures.push_back(LibraryStatusText(status));
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace ksv::outside::download
