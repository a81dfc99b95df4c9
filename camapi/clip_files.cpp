#include "camapi/clip_files.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "camapi/camera_context.h"
#include "common/bitmap_file.h"
#include "common/folders.h"
#include "common/profile_text.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"

namespace ksv::camapi {

namespace {

constexpr const char* kInfoSection = "CLIP_INFO";
constexpr const char* kFileSection = "CLIP_FILE";
constexpr const char* kPrefix = "CLP";

// A fresh "CLP" file name in the clip work folder; empty when none can be had.
std::string FreshName(const CameraContext& context) {
  if (!common::CreateFolderChain(context.clipFolder)) return {};
  char name[KXCAMAPI_PATH_BYTES] = {};
  if (GetTempFileNameA(context.clipFolder.c_str(), kPrefix, 0, name) == 0) return {};
  return name;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool WriteClipInfo(CameraContext& context, uint32_t total, uint32_t frameMs) {
  if (context.itemIndex >= kMaxClips) return false;
  const std::string temporary = FreshName(context);
  if (temporary.empty()) return false;
  // The temporary name's folder and base name, "_", the clip's number, ".PRO".
  const size_t dot = temporary.rfind('.');
  const size_t slash = temporary.rfind('/');
  const std::string base =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? temporary.substr(0, dot)
                                                                               : temporary;
  const std::string file = base + "_" + std::to_string(context.itemIndex) + ".PRO";
  context.clipInfoPaths[context.itemIndex] = file;
  const std::string totalText = std::to_string(total);
  const std::string msText = std::to_string(frameMs);
  const std::string folderText = Quoted(context.clipFolder);
  return WritePrivateProfileStringA(kInfoSection, "TOTAL", totalText.c_str(), file.c_str()) &&
         WritePrivateProfileStringA(kInfoSection, "FRAME_MS", msText.c_str(), file.c_str()) &&
         WritePrivateProfileStringA(kInfoSection, "CLIP_PATH", folderText.c_str(), file.c_str());
}

std::optional<ClipInfo> ReadClipInfo(const std::string& infoFile) {
  const auto total = common::ProfileText(infoFile, kInfoSection, "TOTAL");
  if (!total) return std::nullopt;
  ClipInfo info;
  info.total = static_cast<uint32_t>(std::strtoul(total->c_str(), nullptr, 10));
  info.frameMs = static_cast<uint16_t>(
      GetPrivateProfileIntA(kInfoSection, "FRAME_MS", 0, infoFile.c_str()));
  info.folder = common::ProfileText(infoFile, kInfoSection, "CLIP_PATH").value_or("");
  return info;
}

HGLOBAL LoadClipFrame(const std::string& infoFile, const std::string& folder, uint32_t frame) {
  if (infoFile.empty()) return nullptr;
  const auto name = common::ProfileText(infoFile, kFileSection, std::to_string(frame).c_str());
  // A frame file is a plain name in the clip work folder.
  if (!name || name->empty() || name->find('/') != std::string::npos) return nullptr;
  return common::ReadBitmapFile((folder + *name).c_str());
}

}  // namespace ksv::camapi
