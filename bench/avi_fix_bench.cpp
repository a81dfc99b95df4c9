// Fixing a large AVI file in place with ClipMend, against `ffmpeg -c copy`
// of the same file in the same run. The input (over 200 MB: Motion-JPEG-
// sized video chunks of random bytes at 30 frames a second, and 16-bit
// stereo PCM, all key frames) is written first with our AVI writer and read
// once, so both read it from the page cache. Each round fixes a fresh copy
// of it in place (the copy is made and cached before the clock starts);
// the in-place fix writes the new file to disk before it replaces the old
// one (fsync), which ffmpeg does not, so the copy export (no fsync) is
// timed as well. Reports seconds, MB/s and the ratio of our time to
// ffmpeg's; each figure is the median of three rounds.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/large_avi.h"
#include "include/clipmend.h"

namespace {

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "avi_fix_bench: %s\n", why.c_str());
  std::exit(1);
}

// No earlier output, and nothing left for the kernel to write back.
void Settle(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) std::filesystem::remove(path);
  sync();
}

template <class Work>
double Timed(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunFfmpeg(const std::string& in, const std::string& out) {
  if (!ksv::bench::FfmpegCopy(in, out)) Fail("ffmpeg failed");
}

void Fix(FixResult result, const char* what) {
  if (result != FIXAVI_OK) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    Fail(std::string(what) + " failed with " + code);
  }
}


}  // namespace

int main() {
  char folder[] = "/tmp/ksv-fix-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string root = folder;
  const std::string in = root + "/in.avi", work = root + "/work.avi";
  const std::string copy = root + "/ffmpeg.avi", out = root + "/ours.avi";
  // The picture's own size: the fix decodes the first frame.
  ksv::bench::WriteLargeAvi(in, 64, 48);
  const double megabytes = static_cast<double>(std::filesystem::file_size(in)) / 1e6;
  const auto expected = ksv::bench::AviContents(in);
  ksv::bench::WarmPageCache(in);
  std::printf("input: %.1f MB, %zu video frames, %llu audio bytes\n", megabytes, expected.first,
              static_cast<unsigned long long>(expected.second));

  std::vector<double> ffmpegTimes, inPlaceTimes, copyTimes;
  bool whole = true;
  for (int round = 0; round < 3; ++round) {
    Settle({copy, out, work});
    ffmpegTimes.push_back(Timed([&] { RunFfmpeg(in, copy); }));
    if (ksv::bench::AviContents(copy) != expected) Fail("ffmpeg's copy does not hold what the input does");

    Settle({copy, out, work});
    std::filesystem::copy_file(in, work);
    ksv::bench::WarmPageCache(work);
    sync();
    inPlaceTimes.push_back(Timed([&] { Fix(FixAVIForMCIControl(work.c_str(), nullptr), "in-place fix"); }));
    whole = whole && ksv::bench::AviContents(work) == expected;

    Settle({copy, out, work});
    copyTimes.push_back(Timed([&] {
      Fix(FixAVICopyForMCIControl(in.c_str(), out.c_str(), nullptr), "copy fix");
    }));
    whole = whole && ksv::bench::AviContents(out) == expected;
  }
  Settle({copy, out, work});
  const double ffmpeg = ksv::bench::Median(ffmpegTimes);
  const double inPlace = ksv::bench::Median(inPlaceTimes);
  const double copied = ksv::bench::Median(copyTimes);
  std::printf("ffmpeg -c copy: %.3f s, %.1f MB/s\n", ffmpeg, megabytes / ffmpeg);
  std::printf("avi-fix in place (fsync before the swap): %.3f s, %.1f MB/s, ours/ffmpeg %.2f\n",
              inPlace, megabytes / inPlace, inPlace / ffmpeg);
  std::printf("avi-fix to a copy: %.3f s, %.1f MB/s, ours/ffmpeg %.2f\n", copied,
              megabytes / copied, copied / ffmpeg);
  if (!whole) std::fprintf(stderr, "avi_fix_bench: a fixed file lost frames or sound\n");
  std::filesystem::remove_all(root);
  return whole ? 0 : 1;
}
