// `ksvcam snapshot-convert SNAPSHOT -o OUT`: converts the driver's raw
// snapshot file into a picture file through the snapshot library.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <system_error>

#include "apps/ksvcam/commands.h"
#include "include/oksv1sna.h"
#include "platform/memory/global_memory.h"
#include "support/picture/bmp_file.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

// Where the snapshot's pixel rows start in the raw file.
constexpr uint64_t kSnapshotPixelsOffset = 1024;

// Frees the library's bitmap however the command ends.
class OwnedBlock {
 public:
  explicit OwnedBlock(HGLOBAL block) : block_(block) {}
  ~OwnedBlock() { GlobalFree(block_); }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  HGLOBAL get() const { return block_; }

 private:
  HGLOBAL block_;
};

// The library's bitmap as a picture.
picture::RgbPicture PictureOf(HGLOBAL bitmap) {
  const auto* bits = static_cast<const uint8_t*>(GlobalLock(bitmap));
  if (bits == nullptr) throw CommandFailure("the snapshot library gave an unusable bitmap");
  struct Unlock {
    HGLOBAL block;
    ~Unlock() { GlobalUnlock(block); }
  } unlock{bitmap};
  return picture::DecodeDib({bits, GlobalSize(bitmap)}, "the snapshot library's bitmap");
}

std::string WhyNotOpened(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return "no such file";
  if (fs::is_directory(status)) return "it is a folder";
  if (!fs::is_regular_file(status)) return "not a plain file";
  return "cannot be read";
}

std::string FailureMessage(int32_t status, const std::string& path) {
  switch (status) {
    case KXSNAPSHOT_CANNOT_OPEN:
      return "cannot convert " + Quoted(path) + ": " + WhyNotOpened(path);
    case KXSNAPSHOT_NO_SIZE:
      return Quoted(path) + " is not a raw snapshot file: shorter than the 128-byte header";
    case KXSNAPSHOT_NO_BITMAP:
      return "cannot convert " + Quoted(path) +
             ": its header names a picture size of 0, one above " +
             std::to_string(KXSNAPSHOT_MAX_IMAGE_BYTES >> 20) +
             " MiB of pixels, or one there is no memory for";
    default:
      return "the snapshot library refused " + Quoted(path) + " (status " +
             std::to_string(status) + ")";
  }
}

// The library converts a cut-off file with the missing rows black; say so
// rather than hand over a damaged picture silently.
void WarnIfCutOff(const std::string& path, const picture::RgbPicture& picture, Console& console) {
  std::error_code error;
  const uint64_t fileBytes = fs::file_size(path, error);
  if (error) return;
  const uint64_t rowBytes = (uint64_t{picture.width} * 3 + 3) & ~uint64_t{3};
  const uint64_t rowsHeld =
      fileBytes > kSnapshotPixelsOffset ? (fileBytes - kSnapshotPixelsOffset) / rowBytes : 0;
  if (rowsHeld >= picture.height) return;
  console.err << "ksvcam: warning: " << Quoted(path) << " holds " << rowsHeld << " of the "
              << picture.height << " rows of its " << picture.width << " x " << picture.height
              << " picture; the top " << picture.height - rowsHeld << " rows are black\n";
}

struct SnapshotConvertOptions {
  std::string snapshotPath;
  std::string outputPath;
};

int RunSnapshotConvert(const SnapshotConvertOptions& options, Console& console) {
  if (!picture::FormatOfName(options.outputPath)) {
    throw UsageError("-o " + Quoted(options.outputPath) +
                     ": a snapshot converts to a .bmp, .png or .jpg file");
  }

  HGLOBAL converted = nullptr;
  const int32_t status = KXSNAPSHOT_RawToFile(0.0, options.snapshotPath.c_str(),
                                              KXSNAPSHOT_MODE_CONVERT, &converted);
  if (status != KXSNAPSHOT_OK) throw CommandFailure(FailureMessage(status, options.snapshotPath));
  const OwnedBlock bitmap(converted);
  const picture::RgbPicture snapshot = PictureOf(bitmap.get());
  WarnIfCutOff(options.snapshotPath, snapshot, console);
  picture::WritePicture(options.outputPath, snapshot);
  return kExitOk;
}

}  // namespace

CommandRun SnapshotConvertCommand(CLI::App& app) {
  auto options = std::make_shared<SnapshotConvertOptions>();
  CLI::App& command = *app.add_subcommand("snapshot-convert",
                                          "Convert the driver's raw snapshot file (snapraw.dat) "
                                          "into a picture file (BMP, PNG or JPEG).");
  command
      .add_option("SNAPSHOT", options->snapshotPath,
                  "Raw snapshot file: a 1024-byte header naming the picture's size, then 24-bit "
                  "rows bottom-up")
      ->type_name("FILE")
      ->required();
  command
      .add_option("-o,--output", options->outputPath,
                  "Picture file to write, replaced if it exists: .bmp, .png or .jpg")
      ->type_name("FILE")
      ->required();
  return [options](Console& console) { return RunSnapshotConvert(*options, console); };
}

}  // namespace ksv::ksvcam
