// Where the backend's frames come from: a snapshot of the live picture,
// taken through the scanner-interface control without its window, and the
// pictures the camera stores, streamed through the camera access library.
// Each frame is 8-bit RGB, top-down. Everything runs on the caller's thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::outside::sane {

// Thrown with a line the backend prints before it answers with an error.
struct PictureFailure {
  std::string reason;
};

// The live camera: brought up in this process (unless another process
// holds it) and the control made on it on first use, both kept until this
// goes.
class LiveCamera {
 public:
  LiveCamera();
  ~LiveCamera();
  LiveCamera(const LiveCamera&) = delete;
  LiveCamera& operator=(const LiveCamera&) = delete;

  // One snapshot, resampled to width x height when it comes at another
  // size. Throws PictureFailure when the camera is not ready or took none.
  picture::RgbPicture Snapshot(int32_t width, int32_t height);

 private:
  struct Host;
  std::unique_ptr<Host> host_;
};

// The camera's stored pictures (high- and low-quality pictures and burst
// pictures; clips and recordings are no still pictures), downloaded at
// once into a folder of their own that goes with this object.
class StoredPictures {
 public:
  // Throws PictureFailure when the camera cannot be opened or the stream
  // fails; an empty memory gives no pictures.
  StoredPictures();
  ~StoredPictures();
  StoredPictures(const StoredPictures&) = delete;
  StoredPictures& operator=(const StoredPictures&) = delete;

  size_t count() const { return files_.size(); }
  // The picture `index` (below count()) decoded; throws PictureFailure.
  picture::RgbPicture Picture(size_t index) const;

 private:
  std::filesystem::path folder_;
  std::vector<std::filesystem::path> files_;
};

}  // namespace ksv::outside::sane
