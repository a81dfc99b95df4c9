#include "avifix/fix_avi.h"

#include <filesystem>
#include <ios>
#include <new>
#include <system_error>

#include "avifix/avi_fixer.h"
#include "avifix/save_progress.h"
#include "avifix/target_files.h"
#include "include/win32_errors.h"

namespace ksv::avifix {

FixResult FixAvi(const std::string& source, const std::string& target, FixAVIProgress progress) {
  const SaveProgressScope progressScope(progress);
  // Started from inside a fix's own progress routine: it would wait for
  // itself.
  if (!progressScope.held()) return FIXAVI_E_FAILED;
  AviFixer fixer;
  if (!fixer.Open(source)) return FIXAVI_E_CANNOT_OPEN;
  // The whole video, from its first frame to its last.
  PAVISTREAM video = fixer.Video()->stream();
  const LONG first = AVIStreamStart(video);
  const LONG length = AVIStreamLength(video);
  if (length <= 0) return FIXAVI_E_NO_FRAMES;
  const LONG last = first + length - 1;
  if (!fixer.RewriteRange(first, last, target)) {
    if (fixer.LastError() == kErrorDiskFull) return FIXAVI_E_DISK_FULL;
    if (fixer.LastError() == kErrorSourceMoved) return FIXAVI_E_SOURCE_MOVED;
    if (fixer.LastError() == DWORD(ERROR_NOT_ENOUGH_MEMORY)) return FIXAVI_E_OUT_OF_MEMORY;
    return FIXAVI_E_FAILED;
  }
  return FIXAVI_OK;
}

FixResult FixAviCatching(const char* source, const char* target, FixAVIProgress progress) {
  if (source == nullptr || target == nullptr) return FIXAVI_E_CANNOT_OPEN;
  try {
    return FixAvi(source, target, progress);
  } catch (const std::bad_alloc&) {
    return FIXAVI_E_OUT_OF_MEMORY;
  } catch (const std::filesystem::filesystem_error&) {
    return FIXAVI_E_DISK_FULL;
  } catch (const std::ios_base::failure&) {
    return FIXAVI_E_DISK_FULL;
  } catch (...) {
    return FIXAVI_E_FAILED;
  }
}

}  // namespace ksv::avifix

extern "C" {

KSV_EXPORT FixResult FixAVIForMCIControl(const char* path, FixAVIProgress progress) {
  return ksv::avifix::FixAviCatching(path, path, progress);
}

KSV_EXPORT FixResult FixAVICopyForMCIControl(const char* sourcePath, const char* targetPath,
                                             FixAVIProgress progress) {
  return ksv::avifix::FixAviCatching(sourcePath, targetPath, progress);
}

}  // extern "C"
