#include "apps/ksvcam/scanner_setup.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/media_setup.h"
#include "apps/ksvcam/settings_files.h"
#include "common/bitmap_file.h"
#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"
#include "platform/root/system_root.h"
#include "twainctl/texts.h"

namespace ksv::ksvcam {

namespace fs = std::filesystem;

// A named namespace: the tool's files are compiled in batches.
namespace scanner_files {

constexpr int kLogoWidth = 72;
constexpr int kLogoHeight = 28;

// "KSV" in a 3 x 5 pixel font, each font pixel 4 x 4 screen pixels.
constexpr std::array<const char*, 5> kLetters = {"# # ### # #", "##  #   # #", "#   ### # #",
                                                 "##    # # #", "# # ###  # "};

bool InLetters(int x, int y) {
  const int column = (x - 14) / 4, row = (y - 4) / 4;
  if (x < 14 || y < 4 || row >= 5 || column >= 11) return false;
  return kLetters[static_cast<size_t>(row)][column] == '#';
}

bool InBadge(int x, int y) {
  // A rounded bar: the corners cut on a 4-pixel diagonal.
  const int dx = std::min(x, kLogoWidth - 1 - x), dy = std::min(y, kLogoHeight - 1 - y);
  return dx + dy >= 3;
}

// The logo (white letters on a deep red badge, black outside it) or its
// mask (black where the logo shows, white where the window does).
void WriteLogo(const fs::path& path, bool mask) {
  HGLOBAL bitmap = common::CreatePackedBitmap(kLogoWidth, kLogoHeight, 24);
  uint8_t* pixels = common::PackedBitmapPixels(GlobalLock(bitmap));
  const size_t stride = common::PackedRowBytes(kLogoWidth, 24);
  for (int y = 0; y < kLogoHeight; ++y) {
    uint8_t* row = pixels + static_cast<size_t>(kLogoHeight - 1 - y) * stride;
    for (int x = 0; x < kLogoWidth; ++x) {
      std::array<uint8_t, 3> bgr{};
      if (mask) {
        bgr = InBadge(x, y) ? std::array<uint8_t, 3>{0, 0, 0} : std::array<uint8_t, 3>{255, 255, 255};
      } else if (InBadge(x, y)) {
        bgr = InLetters(x, y) ? std::array<uint8_t, 3>{255, 255, 255} : std::array<uint8_t, 3>{40, 30, 170};
      }
      for (size_t c = 0; c < 3; ++c) row[static_cast<size_t>(x) * 3 + c] = bgr[c];
    }
  }
  GlobalUnlock(bitmap);
  const bool written = common::WriteBitmapFile(path.string().c_str(), bitmap);
  GlobalFree(bitmap);
  if (!written) throw CommandFailure("cannot write " + path.string());
}

void WriteProfile(const fs::path& path) {
  std::ofstream file(path);
  file << "[TWAIN_DS]\nPRODNAME=KSV RMC900 Camera\n\n"
       << "[USB_CAMERA]\nVID_PID=" << kCameraVidPid << "\nDEVICE_NAME=" << kCameraDriverName
       << "\nDOWNLOAD_DSC=1\nVIDEO_CLIP_WIDTH=320\nVIDEO_CLIP_HEIGHT=240\nBURST_WIDTH=320\nBURST_HEIGHT=240\n\n"
       << "[VFW_LOC]\nVFW_LOC_NAME=" << kSettingsLocalizationName << "\n\n"
       << "[VIDEO_FORMAT]\nWIDTH=320\nHEIGHT=240\nFOUR_CC=I420\n\n"
       << "[SNAPSHOT_BTN]\nCAM_SNAP_BTN=1\n\n"
       << "[RAW_DATA]\nMODE=2\nFILE_NAME=snapraw.dat\nRAW_DATA_TYPE=0\n\n"
       << "[COMPANY_LOGO]\nLOGO_BMP_FILE=KSVLogo.bmp\nLOGO_MASK_FILE=KSVLogoMask.bmp\nLOGO_PT_X=14\nLOGO_PT_Y=444\n";
  if (!file.flush()) throw CommandFailure("cannot write " + path.string());
}

}  // namespace scanner_files

using namespace scanner_files;

fs::path ScannerInterfaceFolder() { return platform::SystemRoot() / "TWAIN_32" / "Orvan" / "KSV1"; }

fs::path DataSourceModule() {
  const fs::path folder = ModuleFolder();
  return folder.empty() ? fs::path() : folder / "KSVCam.ds";
}

void InstallScannerInterface(const std::function<void(const std::string&)>& print) {
  const fs::path folder = ScannerInterfaceFolder();
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw CommandFailure("cannot make " + folder.string() + ": " + error.message());
  const fs::path module = DataSourceModule();
  if (module.empty() || !fs::is_regular_file(module, error)) {
    throw CommandFailure("the scanner-interface data source '" + module.string() + "' is missing");
  }
  const fs::path dataSource = folder / "KSVCam.ds";
  fs::copy_file(module, dataSource, fs::copy_options::overwrite_existing, error);
  if (error) throw CommandFailure("cannot write " + dataSource.string() + ": " + error.message());
  print("installed " + dataSource.string());
  WriteProfile(folder / "KSVCam.pro");
  print("installed " + (folder / "KSVCam.pro").string());
  const fs::path texts = folder / "KSVCam.loc";
  try {
    print((twainctl::InstallEnglishTexts(texts) ? "installed " : "kept ") + texts.string());
  } catch (const std::exception& failure) {
    throw CommandFailure(failure.what());
  }
  WriteLogo(folder / "KSVLogo.bmp", false);
  WriteLogo(folder / "KSVLogoMask.bmp", true);
  print("installed " + (folder / "KSVLogo.bmp").string() + " and its mask");
}

}  // namespace ksv::ksvcam
