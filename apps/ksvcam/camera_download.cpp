#include "apps/ksvcam/camera_download.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <utility>

#include "apps/ksvcam/camera_library.h"
#include "common/bitmap_file.h"
#include "include/oksv1jpg.h"
#include "platform/memory/global_memory.h"

namespace ksv::ksvcam {

namespace {

namespace fs = std::filesystem;

// File names by kind: prefix and extension, and which counter they share.
struct Naming {
  const char* prefix;
  const char* extension;
  int counter;
};

Naming NamingOf(int kind) {
  switch (kind) {
    case KXCAMAPI_KIND_BURST_PICTURE:
      return {"Burst", ".JPG", 0};
    case KXCAMAPI_KIND_HQ_PICTURE:
      return {"HQ", ".JPG", 1};
    case KXCAMAPI_KIND_LQ_PICTURE:
      return {"WQ", ".JPG", 2};
    case KXCAMAPI_KIND_RAW:
      return {"Raw", ".WAV", 4};
    default:  // the clip kinds
      return {"Clip", ".AVI", 3};
  }
}

bool IsPicture(int kind) {
  return kind == KXCAMAPI_KIND_BURST_PICTURE || kind == KXCAMAPI_KIND_HQ_PICTURE ||
         kind == KXCAMAPI_KIND_LQ_PICTURE;
}

std::string StatusText(DWORD status) {
  switch (status) {
    case KXCAMAPI_DISK_FULL:
      return "the disk is full";
    case KXCAMAPI_WRITE_FAILED:
      return "the file could not be written";
    case KXCAMAPI_SAVE_FAILED:
      return "the picture could not be saved";
    case KXCAMAPI_ITEM_FAILED:
      return "the stored frames could not be decoded";
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

// A bar on the progress line, redrawn only when what it shows changes.
class ProgressBar {
 public:
  ProgressBar(Console& console, bool enabled) : line_(console, 0, enabled) {}

  void Show(unsigned items, unsigned overall, unsigned item, const std::string& label) {
    if (drawn_ && overall == overall_ && item == item_ && items == items_) return;
    // The stream reports every 64 bytes: at most 20 redraws a second, but
    // every change of the overall figure.
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && overall == overall_ && now - lastDraw_ < std::chrono::milliseconds(50)) return;
    lastDraw_ = now;
    overall_ = overall;
    item_ = item;
    items_ = items;
    drawn_ = true;
    constexpr unsigned kWidth = 30;
    const unsigned filled = overall * kWidth / 100;
    line_.Draw("[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
               std::to_string(overall) + "%  " + std::to_string(items) + " items done, current " +
               std::to_string(item) + "%  " + label);
  }
  void Clear() {
    line_.Clear();
    drawn_ = false;
  }

 private:
  ProgressLine line_;
  bool drawn_ = false;
  unsigned overall_ = 0, item_ = 0, items_ = 0;
  std::chrono::steady_clock::time_point lastDraw_;
};

// The application side of the library's callbacks.
class DownloadSession {
 public:
  DownloadSession(const DownloadRequest& request, Console& console)
      : request_(request), console_(console), bar_(console, request.progressBar) {}

  void Begin(int kind, char* path, int32_t* cancel) {
    kind_ = kind;
    const Naming naming = NamingOf(kind);
    name_ = naming.prefix + std::to_string(counters_[naming.counter]++) + naming.extension;
    const fs::path target = request_.outDir / name_;
    if (!request_.overwrite && (Exists(target) || (request_.bitmaps && IsPicture(kind) &&
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
    bar_.Clear();
    if (status == KXCAMAPI_NOT_CONVERTED) {
      ++summary_.clipsNotConverted;
      if (request_.listFiles) console_.out << name_ << ": skipped, clips are not converted yet\n";
    } else if (status != KXCAMAPI_OK) {
      summary_.failures.push_back(name_ + ": " + StatusText(status));
      console_.err << "ksvcam: error: " << summary_.failures.back() << '\n';
    } else {
      Written(path);
    }
    // The stream's progress calls redraw the bar; one item at a time, the
    // files done are all there is to show.
    if (request_.perItem) {
      ++itemsDone_;
      const unsigned overall = expected_ == 0 ? 100 : std::min(100u, itemsDone_ * 100 / expected_);
      bar_.Show(itemsDone_, overall, 100, name_);
    }
  }

  // The number of files the per-item download is expected to make.
  void Expect(unsigned files) { expected_ = files; }

  int Progress(const KXCAMAPI_ProgressRecord& record) {
    bar_.Show(record.itemsCompleted, record.overallPercent, record.itemPercent,
              record.itemPercent == 100 ? name_ : "");
    return 0;
  }

  DownloadSummary& summary() { return summary_; }
  const fs::path& conflict() const { return conflict_; }
  bool tooLong() const { return tooLong_; }
  ProgressBar& bar() { return bar_; }

 private:
  static bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
  }

  void Written(const char* path) {
    std::string shown = name_;
    fs::path file = path;
    if (request_.bitmaps && IsPicture(kind_)) {
      const fs::path bitmap = fs::path(file).replace_extension(".BMP");
      HGLOBAL picture = JPEG_2Dib(path);
      const bool converted = picture != nullptr && common::WriteBitmapFile(bitmap.c_str(), picture);
      if (picture != nullptr) GlobalFree(picture);
      if (!converted) {
        // The JPEG file stays: nothing of the picture is lost.
        summary_.failures.push_back(name_ + ": could not be converted to a bitmap");
        console_.err << "ksvcam: error: " << summary_.failures.back() << '\n';
      } else {
        std::error_code ignored;
        fs::remove(file, ignored);
        file = bitmap;
        shown = bitmap.filename().string();
      }
    }
    std::error_code error;
    const auto bytes = fs::file_size(file, error);
    ++summary_.files;
    summary_.bytes += error ? 0 : static_cast<size_t>(bytes);
    if (request_.listFiles) console_.out << shown << ": " << (error ? 0 : bytes) << " bytes\n";
  }

  const DownloadRequest& request_;
  Console& console_;
  ProgressBar bar_;
  DownloadSummary summary_;
  unsigned counters_[5] = {};
  unsigned itemsDone_ = 0;
  unsigned expected_ = 0;
  int kind_ = 0;
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
    const Naming naming = NamingOf(kind);
    for (int i = 0; i < count; ++i) {
      const fs::path file = request.outDir / (naming.prefix + std::to_string(i) + naming.extension);
      std::error_code error;
      const bool taken = fs::exists(fs::symlink_status(file, error)) ||
                         (request.bitmaps && IsPicture(kind) &&
                          fs::exists(fs::symlink_status(fs::path(file).replace_extension(".BMP"), error)));
      if (taken) {
        throw CommandFailure("'" + request.outDir.string() + "' already holds " +
                             file.filename().string() +
                             " from an earlier download; use -y/--overwrite to replace it");
      }
    }
  }
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

DownloadSummary DownloadCamera(const DownloadRequest& request, Console& console) {
  std::error_code error;
  fs::create_directories(request.outDir, error);
  if (error) {
    throw CommandFailure("cannot create '" + request.outDir.string() + "': " + error.message());
  }
  DownloadSession session(request, console);
  const auto user = reinterpret_cast<intptr_t>(&session);
  CameraLibrary library(OnBegin, OnEnd, user);
  if (!request.overwrite) CheckNothingReplaced(request, library.get());
  session.Expect(ExpectedFiles(library.get()));
  const auto start = std::chrono::steady_clock::now();
  const int status = request.perItem ? KXCAMAPI_Download(library.get())
                                     : KXCAMAPI_GetAllImgs(library.get(), OnProgress);
  session.bar().Clear();
  if (!session.conflict().empty()) {
    throw CommandFailure("'" + session.conflict().string() +
                         "' is there from an earlier download; use -y/--overwrite to replace it");
  }
  if (session.tooLong()) throw CommandFailure("the folder's path is too long for the camera's files");
  DownloadSummary summary = session.summary();
  summary.libraryStatus = status;
  if (status != KXCAMAPI_OK) summary.failures.push_back(LibraryStatusText(status));
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

std::string SummaryText(const DownloadSummary& summary, const fs::path& outDir) {
  char text[512];
  std::snprintf(text, sizeof text, "download: %zu file%s, %zu bytes in '%s' in %.1f s", summary.files,
                summary.files == 1 ? "" : "s", summary.bytes, outDir.string().c_str(),
                summary.seconds);
  std::string line = text;
  if (summary.clipsNotConverted != 0) {
    line += "; " + std::to_string(summary.clipsNotConverted) + " clip" +
            (summary.clipsNotConverted == 1 ? "" : "s") + " not converted";
  }
  if (!summary.failures.empty()) {
    line += "; " + std::to_string(summary.failures.size()) + " failed";
  }
  return line + "\n";
}

}  // namespace ksv::ksvcam
