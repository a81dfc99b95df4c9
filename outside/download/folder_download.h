// Everything the camera stores, downloaded into a folder through the camera
// access library the way an application does it, the files named by kind
// ("HQ0.JPG", "WQ0.JPG", "Burst0.JPG", "Clip0.AVI", "Raw0.WAV", each kind
// counted from 0); and the library's context that such an application
// opens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "include/oksv1api.h"

namespace ksv::outside::download {

// The download cannot start or go on: the camera cannot be opened, the
// folder cannot be made, a file of an earlier download would be replaced.
class DownloadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A context of the camera access library with a module under the system
// folder and a stand-in window, on the camera the bulk library connects to.
class CameraLibrary {
 public:
  // Throws DownloadError saying why the camera cannot be opened. `ksv`
  // opens the library in KSV mode.
  CameraLibrary(KXCAMAPI_BeginItemCallback begin, KXCAMAPI_EndItemCallback end, intptr_t user,
                bool ksv = false);
  ~CameraLibrary();
  CameraLibrary(const CameraLibrary&) = delete;
  CameraLibrary& operator=(const CameraLibrary&) = delete;

  KXCAMAPI_HANDLE get() const { return context_; }

 private:
  HWND window_ = nullptr;
  KXCAMAPI_HANDLE context_ = nullptr;
};

struct DownloadRequest {
  std::filesystem::path outDir;
  bool perItem = false;    // one item at a time instead of the whole memory as one stream
  bool bitmaps = false;    // pictures as Windows bitmap files (.BMP) instead of JPEG
  bool overwrite = false;  // replace files an earlier download left
  bool ksv = false;        // the library in KSV mode: stream clips without the AVI fix
  bool firstFrames = false;  // each clip's first frame also as "Clip0.png", ...
};

struct DownloadSummary {
  size_t files = 0;
  size_t bytes = 0;
  std::vector<std::string> failures;  // one line each
  std::vector<std::string> skipped;   // items the stream does not convert, one line each
  int libraryStatus = 0;              // the download export's status
  double seconds = 0;
  bool ok() const { return failures.empty() && libraryStatus == 0; }
};

// What the download tells as it goes.
class DownloadListener {
 public:
  virtual ~DownloadListener() = default;
  // A file is in place: its name in the folder and its bytes.
  virtual void Written(const std::string& name, uintmax_t bytes) = 0;
  // "NAME: reason" for a file that failed; the download goes on.
  virtual void Failed(const std::string& line) = 0;
  // An item the streamed download passed over: what it is, and that
  // --per-item converts it.
  virtual void Skipped(const std::string& /*line*/) {}
  // Items done, percent done of all and of the current item (for a clip
  // being converted: of its frames), and the current file's name (empty
  // while it is not known).
  virtual void Progress(unsigned items, unsigned overall, unsigned item,
                        const std::string& name) = 0;
};

// Runs the download. Throws DownloadError when it cannot start or files of
// an earlier download would be replaced.
DownloadSummary DownloadCamera(const DownloadRequest& request, DownloadListener& listener);

}  // namespace ksv::outside::download
