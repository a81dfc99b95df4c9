// Downloads everything the camera stores into a folder through the camera
// access library, naming the files by kind ("HQ0.JPG", "WQ0.JPG",
// "Burst0.JPG", "Clip0.AVI", "Raw0.WAV", each kind counted from 0).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {

struct DownloadRequest {
  std::filesystem::path outDir;
  bool perItem = false;    // one item at a time instead of the whole memory as one stream
  bool bitmaps = false;    // pictures as Windows bitmap files (.BMP) instead of JPEG
  bool overwrite = false;  // replace files an earlier download left
  bool progressBar = false;  // draw a progress bar on stderr
  bool listFiles = true;     // a line per file on stdout
};

struct DownloadSummary {
  size_t files = 0;
  size_t bytes = 0;
  size_t clipsNotConverted = 0;
  std::vector<std::string> failures;  // one line each
  int libraryStatus = 0;              // the download export's status
  double seconds = 0;
  bool ok() const { return failures.empty() && libraryStatus == 0; }
};

// Runs the download with the camera the bulk library connects to; prints a
// line per file on console.out. Throws CommandFailure when the camera
// cannot be opened or files of an earlier download would be replaced.
DownloadSummary DownloadCamera(const DownloadRequest& request, Console& console);

// "download: 8 files, 1.2 MB in 'DIR' ..." for the end of the run.
std::string SummaryText(const DownloadSummary& summary, const std::filesystem::path& outDir);

}  // namespace ksv::ksvcam
