// The fixer: opens an AVI file through the AVIFile services, describes its
// streams, and rewrites a frame range of its video with the matching sound
// into a new file, in place through a work file when the target is the
// file itself. One per fix, on the caller's stack; one file open at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "avifix/stream_description.h"
#include "platform/avifile/avifile.h"

namespace ksv::avifix {

class AviFixer {
 public:
  AviFixer();   // AVIFileInit
  ~AviFixer();  // closes the file, deletes the temporary files, AVIFileExit
  AviFixer(const AviFixer&) = delete;
  AviFixer& operator=(const AviFixer&) = delete;

  // Opens `path` and describes its streams. False (nothing left open) when
  // the file cannot be read, is not an AVI the services open, a stream's
  // information or format cannot be read, or its video has frames but the
  // first cannot be decoded.
  bool Open(const std::string& path);
  // Releases the streams, decoders and the file.
  void Close();

  // The open file's first video and first audio stream, or null.
  const DescribedStream* Video() const { return video_; }
  const DescribedStream* Audio() const { return audio_; }
  // The bytes of one decoded video frame (header, colour table, pixels).
  size_t DecodedFrameBytes() const { return frameBytes_; }

  // Writes video frames [first, last] and the sound played with them to
  // `target`. When `target` is the open file, the new file is saved to a
  // work file beside it and moved over it once whole; the open file is then
  // closed. False on failure, with LastError() saying why; the source is
  // then as it was and no work or split file is left.
  bool RewriteRange(LONG first, LONG last, const std::string& target);

  // A Win32 error code, kErrorGeneral or kErrorDiskFull.
  DWORD LastError() const { return lastError_; }

 private:
  struct EditStreams;

  bool Fail(DWORD error);
  // Checks and prepares the target; sets savePath_.
  bool PrepareTarget(const std::string& target, bool inPlace);
  // The video of [first, last] as one stream: split at key frame
  // `splitAt` when it is not -1, the lead-in before it re-encoded. Sets
  // *reencode when the split cannot keep the frames after it as they are,
  // so the whole range must be re-encoded. Null on failure.
  PAVISTREAM VideoRange(LONG first, LONG last, LONG splitAt, bool* reencode);
  PAVISTREAM SplitVideo(PAVISTREAM editable, LONG first, LONG last, LONG nextKey,
                        bool* layoutDiffers);
  // The sound of [first, last]; null when there is none over the range.
  PAVISTREAM AudioRange(LONG first, LONG last);
  bool Save(EditStreams& streams, bool copyVideo);

  std::string path_;
  PAVIFILE file_ = nullptr;
  AVIFILEINFOA fileInfo_{};
  std::vector<std::unique_ptr<DescribedStream>> streams_;
  const DescribedStream* video_ = nullptr;
  const DescribedStream* audio_ = nullptr;
  size_t frameBytes_ = 0;
  std::string savePath_;   // the target, or the work file beside it
  std::string workPath_;   // the work file of an in-place rewrite
  std::string splitPath_;  // the lead-in frames re-encoded before a split
  DWORD lastError_ = 0;
};

}  // namespace ksv::avifix
