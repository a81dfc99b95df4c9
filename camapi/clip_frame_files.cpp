#include "camapi/clip_frame_files.h"

#include <cstdio>
#include <string>

#include "common/bitmap_file.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"

namespace ksv::camapi {

bool SaveClipFrame(CameraContext& context, HGLOBAL bitmap, uint32_t number) {
  if (bitmap == nullptr || context.itemIndex >= kMaxClips) return false;
  const std::string& infoFile = context.clipInfoPaths[context.itemIndex];
  if (infoFile.empty() || context.clipFolder.empty()) return false;
  char path[KXCAMAPI_PATH_BYTES] = {};
  if (GetTempFileNameA(context.clipFolder.c_str(), "CLP", 0, path) == 0) return false;
  const std::string written = path;
  if (!common::WriteBitmapFile(path, bitmap)) {
    std::remove(written.c_str());
    return false;
  }
  // The key holds the name alone: the frame lies in the clip work folder.
  const size_t slash = written.find_last_of('/');
  const std::string quoted = "\"" + written.substr(slash + 1) + "\"";
  const std::string key = std::to_string(number);
  if (!WritePrivateProfileStringA("CLIP_FILE", key.c_str(), quoted.c_str(), infoFile.c_str())) {
    std::remove(written.c_str());
    return false;
  }
  return true;
}

}  // namespace ksv::camapi
