#include "avifix/avi_fixer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "avifix/save_progress.h"
#include "avifix/target_files.h"
#include "include/win32_errors.h"
#include "platform/files/files.h"

namespace ksv::avifix {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr DWORD kHandlerI420 = KSV_AVI_FOURCC('I', '4', '2', '0');

// Audio sample number at the time video frame `frame` starts, rounded down
// (or up): frame * vScale / vRate seconds at aRate / aScale samples a
// second, exactly.
int64_t AudioSampleAt(const AVISTREAMINFOA& video, const AVISTREAMINFOA& audio, int64_t frame,
                      bool roundUp) {
  const Wide numerator = Wide(uint64_t(frame)) * video.dwScale * audio.dwRate;
  const Wide denominator = Wide(video.dwRate) * audio.dwScale;
  if (denominator == 0) return 0;
  Wide sample = numerator / denominator;
  if (roundUp && numerator % denominator != 0) ++sample;
  return int64_t(std::min<Wide>(sample, Wide(INT32_MAX)));
}

// Releases a stream handle however the rewrite ends.
struct StreamHandle {
  PAVISTREAM stream = nullptr;
  StreamHandle() = default;
  explicit StreamHandle(PAVISTREAM s) : stream(s) {}
  ~StreamHandle() { Reset(); }
  StreamHandle(const StreamHandle&) = delete;
  StreamHandle& operator=(const StreamHandle&) = delete;
  void Reset(PAVISTREAM s = nullptr) {
    if (stream != nullptr) AVIStreamRelease(stream);
    stream = s;
  }
  PAVISTREAM* Out() {
    Reset();
    return &stream;
  }
};

// A file on the stack's way out: deleted unless kept.
struct DeleteOnExit {
  std::string& path;
  ~DeleteOnExit() {
    RemoveFile(path);
    path.clear();
  }
};

// Whether frames written under the stream's format `format` read the
// same under `stream`'s: size, row order, depth and compression.
bool SamePictureLayout(PAVISTREAM stream, const std::vector<uint8_t>& format) {
  std::vector<uint8_t> other(sizeof(BITMAPINFOHEADER));
  LONG size = LONG(other.size());
  if (format.size() < other.size() ||
      AVIStreamReadFormat(stream, AVIStreamStart(stream), other.data(), &size) != AVIERR_OK ||
      size_t(size) < other.size()) {
    return false;
  }
  BITMAPINFOHEADER a, b;
  std::memcpy(&a, format.data(), sizeof a);
  std::memcpy(&b, other.data(), sizeof b);
  return a.biWidth == b.biWidth && a.biHeight == b.biHeight && a.biBitCount == b.biBitCount &&
         a.biCompression == b.biCompression;
}

std::string TemporaryFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  return error ? std::string("/tmp") : folder.string();
}

}  // namespace

struct AviFixer::EditStreams {
  StreamHandle video;
  StreamHandle audio;
};

AviFixer::AviFixer() { AVIFileInit(); }

AviFixer::~AviFixer() {
  Close();
  RemoveFile(splitPath_);
  RemoveFile(workPath_);
  AVIFileExit();
}

bool AviFixer::Open(const std::string& path) {
  Close();
  if (!IsReadableFile(path)) return false;
  if (AVIFileOpenA(&file_, path.c_str(), OF_READ, nullptr) != AVIERR_OK || file_ == nullptr) {
    file_ = nullptr;
    return false;
  }
  path_ = path;
  if (AVIFileInfoA(file_, &fileInfo_, sizeof fileInfo_) != AVIERR_OK) return Close(), false;
  for (DWORD index = 0; index < fileInfo_.dwStreams; ++index) {
    auto described = std::make_unique<DescribedStream>();
    PAVISTREAM stream = nullptr;
    // An index that yields no stream stays an empty slot.
    if (AVIFileGetStream(file_, &stream, 0, LONG(index)) == AVIERR_OK && stream != nullptr &&
        !described->Describe(stream)) {
      return Close(), false;
    }
    if (described->IsVideo() && video_ == nullptr) video_ = described.get();
    if (described->IsAudio() && audio_ == nullptr) audio_ = described.get();
    streams_.push_back(std::move(described));
  }
  if (video_ == nullptr) return Close(), false;
  // Video with frames must decode; an empty one is told apart by the fix.
  if (AVIStreamLength(video_->stream()) > 0) {
    if (video_->decoder() == nullptr) return Close(), false;
    const auto* frame = static_cast<const BITMAPINFOHEADER*>(
        AVIStreamGetFrame(video_->decoder(), AVIStreamStart(video_->stream())));
    frameBytes_ = frame != nullptr ? PackedBitmapBytes(*frame) : 0;
    if (frameBytes_ == 0) return Close(), false;
  }
  return true;
}

void AviFixer::Close() {
  video_ = audio_ = nullptr;
  streams_.clear();  // each releases its decoder and stream
  if (file_ != nullptr) AVIFileRelease(file_);
  file_ = nullptr;
  fileInfo_ = AVIFILEINFOA{};
  frameBytes_ = 0;
}

bool AviFixer::Fail(DWORD error) {
  lastError_ = error;
  return false;
}

bool AviFixer::PrepareTarget(const std::string& target, bool inPlace) {
  if (video_ == nullptr || AVIStreamLength(video_->stream()) <= 0) return Fail(kErrorGeneral);
  if (!inPlace) {
    // An existing target is replaced by the save's final rename, so a save
    // that fails leaves it as it was; it must be a file to be replaced.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(target, error);
    if (std::filesystem::exists(status) && std::filesystem::is_directory(status)) {
      return Fail(kErrorGeneral);
    }
    // A read-only target cannot be deleted, so it is not replaced either.
    if (std::filesystem::exists(status) && !IsWritableFile(target)) return Fail(kErrorGeneral);
    savePath_ = target;
    return true;
  }
  switch (CanReplace(target)) {
    case Replaceable::kYes:
      break;
    case Replaceable::kNo:
      return Fail(kErrorGeneral);
    case Replaceable::kMovedAway:
      return Fail(kErrorSourceMoved);
  }
  workPath_ = ClaimWorkFile(FolderOf(target));
  if (workPath_.empty()) return Fail(kErrorGeneral);
  savePath_ = workPath_;
  return true;
}

PAVISTREAM AviFixer::SplitVideo(PAVISTREAM editable, LONG first, LONG last, LONG nextKey,
                                bool* layoutDiffers) {
  // The lead-in before the first key frame, re-encoded on its own so that
  // it starts with a key frame, then the rest pasted after it as it is.
  StreamHandle leadIn;
  LONG start = first, length = nextKey - first;
  if (EditStreamCopy(editable, &start, &length, leadIn.Out()) != AVIERR_OK) return nullptr;
  splitPath_ = [] {
    char name[260];
    return GetTempFileNameA(TemporaryFolder().c_str(), "AVS", 0, name) != 0 ? std::string(name)
                                                                             : std::string();
  }();
  if (splitPath_.empty()) return nullptr;
  AVICOMPRESSOPTIONS options = video_->saveOptions();
  LPAVICOMPRESSOPTIONS optionList[] = {&options};
  PAVISTREAM leadList[] = {leadIn.stream};
  if (AVISaveVA(splitPath_.c_str(), nullptr, SaveProgressProc, 1, leadList, optionList) !=
      AVIERR_OK) {
    return nullptr;
  }
  NextPass();

  PAVIFILE reopened = nullptr;
  if (AVIFileOpenA(&reopened, splitPath_.c_str(), OF_READ, nullptr) != AVIERR_OK) return nullptr;
  StreamHandle encoded;
  const HRESULT got = AVIFileGetStream(reopened, encoded.Out(), streamtypeVIDEO, 0);
  AVIFileRelease(reopened);  // the stream keeps the file alive
  if (got != AVIERR_OK) return nullptr;
  if (!SamePictureLayout(encoded.stream, video_->format())) {
    // The codec wrote its frames another way (rows the other way up): the
    // frames that follow would be read wrongly under its format.
    *layoutDiffers = true;
    return nullptr;
  }

  StreamHandle rest, joined;
  start = nextKey, length = last - nextKey + 1;
  if (EditStreamCopy(editable, &start, &length, rest.Out()) != AVIERR_OK ||
      CreateEditableStream(joined.Out(), encoded.stream) != AVIERR_OK) {
    return nullptr;
  }
  LONG at = AVIStreamEnd(joined.stream), pasted = 0;
  if (EditStreamPaste(joined.stream, &at, &pasted, rest.stream, AVIStreamStart(rest.stream),
                      AVIStreamLength(rest.stream)) != AVIERR_OK) {
    return nullptr;
  }
  PAVISTREAM result = joined.stream;
  joined.stream = nullptr;
  return result;
}

PAVISTREAM AviFixer::VideoRange(LONG first, LONG last, LONG splitAt, bool* reencode) {
  StreamHandle editable;
  if (CreateEditableStream(editable.Out(), video_->stream()) != AVIERR_OK) return nullptr;
  if (splitAt != -1) {
    bool layoutDiffers = false;
    PAVISTREAM joined = SplitVideo(editable.stream, first, last, splitAt, &layoutDiffers);
    if (!layoutDiffers) return joined;
    // Re-encoding all of it then gives one consistent stream.
    RemoveFile(splitPath_);
    *reencode = true;
  }
  StreamHandle range;
  LONG start = first, length = last - first + 1;
  if (EditStreamCopy(editable.stream, &start, &length, range.Out()) != AVIERR_OK) return nullptr;
  PAVISTREAM result = range.stream;
  range.stream = nullptr;
  return result;
}

PAVISTREAM AviFixer::AudioRange(LONG first, LONG last) {
  const AVISTREAMINFOA& video = video_->info();
  const AVISTREAMINFOA& audio = audio_->info();
  // From the start of frame first to the end of frame last, within the
  // sound the file holds.
  const int64_t audioStart = AVIStreamStart(audio_->stream());
  const int64_t audioEnd = audioStart + AVIStreamLength(audio_->stream());
  const int64_t from = std::max(AudioSampleAt(video, audio, first, false), audioStart);
  const int64_t to = std::min(AudioSampleAt(video, audio, int64_t(last) + 1, true), audioEnd);
  if (to <= from) return nullptr;
  StreamHandle editable, range;
  LONG start = LONG(from), length = LONG(to - from);
  if (CreateEditableStream(editable.Out(), audio_->stream()) != AVIERR_OK ||
      EditStreamCopy(editable.stream, &start, &length, range.Out()) != AVIERR_OK) {
    return nullptr;
  }
  PAVISTREAM result = range.stream;
  range.stream = nullptr;
  return result;
}

bool AviFixer::Save(EditStreams& streams, bool copyVideo) {
  AVICOMPRESSOPTIONS videoOptions = copyVideo ? video_->CopyOptions() : video_->saveOptions();
  AVICOMPRESSOPTIONS audioOptions{};
  PAVISTREAM list[2] = {streams.video.stream, streams.audio.stream};
  LPAVICOMPRESSOPTIONS options[2] = {&videoOptions, &audioOptions};
  if (streams.audio.stream != nullptr) audioOptions = audio_->saveOptions();
  const int count = streams.audio.stream != nullptr ? 2 : 1;
  WatchFreeSpace(FolderOf(savePath_));
  const HRESULT saved =
      AVISaveVA(savePath_.c_str(), nullptr, SaveProgressProc, count, list, options);
  if (saved == AVIERR_OK) return true;
  // The save has already removed what it wrote, so the space it filled is
  // free again: a write that failed with less free than the file takes
  // failed for space too, not only one that left under 128 KiB. And the
  // new file may need more than the source: a write that failed after the
  // save had brought the free space under 128 KiB (give or take the two
  // hundredths of the file written between two looks) failed for space.
  const uint64_t needed = saved == AVIERR_FILEWRITE ? FileSize(path_) : 0;
  const bool filledDisk = saved == AVIERR_FILEWRITE &&
                          LeastFreeSpaceSeen() < kDiskNearlyFullBytes + needed / 50;
  lastError_ = filledDisk || DiskNearlyFull(FolderOf(savePath_), needed) ? kErrorDiskFull
                                                                          : kErrorGeneral;
  // The save ran out of memory (it catches that itself): said as such.
  if (saved == AVIERR_MEMORY && lastError_ != kErrorDiskFull) lastError_ = ERROR_NOT_ENOUGH_MEMORY;
  // A work file of ours goes too.
  if (savePath_ == workPath_) RemoveFile(workPath_);
  return false;
}

bool AviFixer::RewriteRange(LONG first, LONG last, const std::string& target) {
  if (file_ == nullptr || first > last) return Fail(kErrorGeneral);
  const bool inPlace = IsSameFile(target, path_);
  DeleteOnExit work{workPath_};
  DeleteOnExit split{splitPath_};
  if (!PrepareTarget(target, inPlace)) return false;

  PAVISTREAM video = video_->stream();
  const bool firstIsKey = AVIStreamFindSample(video, first, FIND_PREV | FIND_KEY) == first;
  const LONG nextKey = AVIStreamFindSample(video, first, FIND_NEXT | FIND_KEY);
  const bool keyInRange = nextKey >= first && nextKey <= last;
  const bool needsSplit = video_->info().fccHandler != kHandlerI420 && keyInRange && !firstIsKey;
  BeginPasses(needsSplit ? 2 : 1);

  EditStreams streams;
  bool reencode = !(firstIsKey || keyInRange);
  streams.video.Reset(VideoRange(first, last, needsSplit ? nextKey : -1, &reencode));
  if (streams.video.stream == nullptr) return Fail(kErrorGeneral);
  if (audio_ != nullptr) {
    streams.audio.Reset(AudioRange(first, last));
    if (streams.audio.stream == nullptr) return Fail(kErrorGeneral);
  }
  if (!Save(streams, !reencode)) return false;
  streams.video.Reset();
  streams.audio.Reset();
  RemoveFile(splitPath_);
  if (!inPlace) return true;

  Close();
  const DWORD moved = ReplaceWithWorkFile(workPath_, target);
  if (moved != 0) return Fail(moved);
  workPath_.clear();  // it is the target now
  return true;
}

}  // namespace ksv::avifix
