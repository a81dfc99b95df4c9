#include "twainctl/texts.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "common/profile_text.h"

namespace ksv::twainctl {

namespace {

struct Entry {
  int id;
  const char* key;
  const char* english;
};

constexpr Entry kTexts[] = {
    {1, "ID_TIP_SNAPSHOT_BTN", "Take a picture"},
    {2, "ID_TIP_COLORING_BTN", "Apply image processing"},
    {3, "ID_TIP_TRANSFER_BTN", "Transfer selected image to application"},
    {4, "ID_TIP_TRANSFERALL_BTN", "Transfer all image to application"},
    {5, "ID_TIP_EXIT_BTN", "Exit and return to application"},
    {6, "ID_TIP_DOWNLOADDSC_BTN", "Download images from DSC"},
    {8, "ID_TIP_VDOMODE_BTN", "Switch to video preview mode"},
    {15, "ID_TIP_DOWNLOADED", "Download is completed"},
    {16, "ID_LOC_BTN_SNAPSHOT", "SnapShot"},
    {17, "ID_LOC_BTN_COLORING", "Coloring"},
    {18, "ID_LOC_BTN_TRANSFER", "Transfer"},
    {19, "ID_LOC_BTN_TRANSFERALL", "TransferAll"},
    {20, "ID_LOC_BTN_EXIT", "Exit"},
    {21, "ID_LOC_CAMINUSE", "Camera is used by another application"},
    {22, "ID_LOC_CAMNOTEXIST", "Camera is not connected to PC"},
    {23, "ID_STR_DNLOAD", "Downloading..."},
    {26, "ID_STR_TRANSFER", "Transfer"},
    {29, "ID_SAVEALL_TITLE", "Save All"},
    {30, "ID_SAVEALL_MSG", "Images Saved On Computer ?"},
    {32, "ID_TIP_SAVEALL_BTN", "Save all pictures and videos to folder"},
    {33, "LOC_ID_SAVEALL_PROMPT", "Please select a folder to save all pictures and videos."},
};

// The kind texts of the thumbnail tooltip, by image kind 1-6.
constexpr Entry kKinds[] = {
    {1, "ID_TIP_IMGTYPE_PC_CAMERA", "PC Cam. img. "},  {2, "ID_TIP_IMGTYPE_DSC", "DSC img. "},
    {3, "ID_TIP_IMGTYPE_VDO_CLIP", "Video Clip img. "}, {4, "ID_TIP_IMGTYPE_BURST", "Burst img. "},
    {5, "ID_TIP_IMGTYPE_LORES_DSC", "Lo-Res. DSC img. "}, {6, "ID_TIP_IMGTYPE_VDO_CLIP", "Video Clip img. "},
};

std::string Format(const char* pattern, const std::string& kind, int width, int height, const std::string& at) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, kind.c_str(), width, height, at.c_str());
  return text;
}

}  // namespace

std::string Text(const std::string& localization, int id, bool downloadedInProcess) {
  if (id == kTipDownload && downloadedInProcess) id = kTipDownloaded;
  for (const Entry& entry : kTexts) {
    if (entry.id == id) return common::LocalizedText(localization, entry.key, entry.english);
  }
  return " ";
}

std::string ThumbnailTip(const std::string& localization, int kind, int index, int total, int snapWidth,
                         int snapHeight, int burstWidth, int burstHeight) {
  if (kind < 1 || kind > 6) return {};
  const Entry& entry = kKinds[kind - 1];
  const std::string text = common::LocalizedText(localization, entry.key, entry.english);
  const std::string at = std::to_string(index) + "/" + std::to_string(total);
  switch (kind) {
    case 1: return Format("%s %d X %d, %s", text, snapWidth, snapHeight, at);
    case 2: return text + " 320 X 240, " + at;
    case 3: return Format("%s %d X %d, %s", text, 320, 240, at);
    case 4: return Format("%s %d X %d, %s", text, burstWidth, burstHeight, at);
    case 5: return text + " 160 X 120, " + at;
    default: return Format("%s %d X %d, %s", text, 160, 120, at);
  }
}

bool InstallEnglishTexts(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::exists(path, error)) return false;
  std::ofstream file(path);
  file << "[LOCALIZE_STR]\n";
  for (const Entry& entry : kTexts) file << entry.key << "=" << entry.english << "\n";
  for (const Entry& entry : kKinds) file << entry.key << "=" << entry.english << "\n";
  file << "ID_LOC_BTN_SAVEALL=Save All\n";
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
  return true;
}

}  // namespace ksv::twainctl
