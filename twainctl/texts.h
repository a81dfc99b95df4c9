// The control's texts: each looked up by key in section LOCALIZE_STR of the
// data source's localization file, with its English default.
#pragma once

#include <filesystem>
#include <string>

namespace ksv::twainctl {

enum TextId {
  kTipSnapShot = 1,
  kTipColoring = 2,
  kTipTransfer = 3,
  kTipTransferAll = 4,
  kTipExit = 5,
  kTipDownload = 6,
  kTipVideoMode = 8,
  kTipThumbnail = 9,
  kTipDownloaded = 15,
  kLabelSnapShot = 16,  // 16-20: the five labelled buttons in order
  kCameraInUse = 21,
  kCameraAbsent = 22,
  kDownloading = 23,
  kTransferText = 26,
  kSaveAllTitle = 29,
  kSaveAllQuestion = 30,
  kTipSaveAll = 32,
  kSaveAllPrompt = 33,
};

// The text `id` from `localization`; a single blank for an unknown id.
// `downloadedInProcess` words the Download button's tooltip.
std::string Text(const std::string& localization, int id, bool downloadedInProcess = false);

// The composed thumbnail tooltip for a thumbnail of `kind` (1-6) at
// `index` of `total`; empty for another kind.
std::string ThumbnailTip(const std::string& localization, int kind, int index, int total, int snapWidth,
                         int snapHeight, int burstWidth, int burstHeight);

// Writes the English texts as a localization file at `path`, unless a file
// is there (a translation is kept). True when written. Throws
// std::runtime_error when it cannot be written.
bool InstallEnglishTexts(const std::filesystem::path& path);

}  // namespace ksv::twainctl
