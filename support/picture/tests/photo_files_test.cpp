#include "support/picture/photo_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/picture/jpeg_file.h"
#include "support/picture/png_file.h"
#include "support/picture/tests/test_pictures.h"
#include "support/picture/whole_file.h"
#include "testing/temp_files.h"

namespace ksv::picture {
namespace {

namespace fs = std::filesystem;
using ::ksv::testing::TempFolder;
using ::ksv::testing::WriteFile;

std::vector<std::string> Names(const std::vector<fs::path>& paths) {
  std::vector<std::string> names;
  for (const fs::path& path : paths) names.push_back(path.filename().string());
  return names;
}

// A folder as people have them: PNG and JPEG photographs with extensions in
// either case, notes, a PNG that is cut short, and a subfolder.
class PhotoFolder : public ::testing::Test {
 protected:
  PhotoFolder() {
    WriteFile(folder_ / "a.png", EncodePng(testing::PatternPicture(8, 6)));
    WriteFile(folder_ / "B.JPG", EncodeJpeg(testing::SmoothPicture(16, 12)));
    WriteFile(folder_ / "c.jpeg", EncodeJpeg(testing::SmoothPicture(10, 10)));
    WriteFile(folder_ / "d.Png", EncodePng(testing::PatternPicture(4, 4)));
    const std::vector<uint8_t> png = EncodePng(testing::PatternPicture(30, 30));
    WriteFile(folder_ / "broken.png", std::vector<uint8_t>(png.begin(), png.begin() + 60));
    WriteFile(folder_ / "notes.txt", {'h', 'i', '\n'});
    fs::create_directory(folder_ / "more.png");
  }
  TempFolder folder_;
};

TEST_F(PhotoFolder, ReadsEveryPhotographAndNamesEverySkippedFile) {
  PhotoFiles files = ListPhotoFolder(folder_.path());
  EXPECT_EQ(Names(files.pictures),
            (std::vector<std::string>{"B.JPG", "a.png", "broken.png", "c.jpeg", "d.Png"}));
  std::vector<std::string> read;
  std::vector<uint32_t> widths;
  EXPECT_EQ(ReadPhotos(files,
                       [&](const fs::path& path, RgbPicture&& photo) {
                         read.push_back(path.filename().string());
                         widths.push_back(photo.width);
                       }),
            4u);
  EXPECT_EQ(read, (std::vector<std::string>{"B.JPG", "a.png", "c.jpeg", "d.Png"}));
  EXPECT_EQ(widths, (std::vector<uint32_t>{16, 8, 10, 4}));
  ASSERT_EQ(files.skipped.size(), 2u);
  EXPECT_EQ(files.skipped[0].path.filename(), "notes.txt");
  EXPECT_EQ(files.skipped[0].reason, "not a picture");
  EXPECT_EQ(files.skipped[1].path.filename(), "broken.png");
  EXPECT_EQ(files.skipped[1].reason.rfind("unreadable: ", 0), 0u) << files.skipped[1].reason;
  EXPECT_NE(files.skipped[1].reason.find("PNG"), std::string::npos) << files.skipped[1].reason;
}

TEST_F(PhotoFolder, StopsAtTheNumberWanted) {
  PhotoFiles files = ListPhotoFolder(folder_.path());
  size_t calls = 0;
  EXPECT_EQ(ReadPhotos(
                files, [&](const fs::path&, RgbPicture&&) { ++calls; }, 2),
            2u);
  EXPECT_EQ(calls, 2u);
  EXPECT_EQ(files.skipped.size(), 1u);  // only the notes: the broken PNG was not reached
}

TEST_F(PhotoFolder, FilesNamedOneByOneKeepTheirOrder) {
  PhotoFiles files = SortPhotoFiles(
      {folder_ / "d.Png", folder_ / "notes.txt", folder_ / "gone.png", folder_ / "a.png"});
  std::vector<std::string> read;
  ReadPhotos(files,
             [&](const fs::path& path, RgbPicture&&) { read.push_back(path.filename().string()); });
  EXPECT_EQ(read, (std::vector<std::string>{"d.Png", "a.png"}));
  ASSERT_EQ(files.skipped.size(), 2u);
  EXPECT_EQ(files.skipped[1].path.filename(), "gone.png");
  EXPECT_EQ(files.skipped[1].reason, "unreadable: No such file or directory");
}

TEST(PhotoFolderListing, RefusesWhatIsNotAFolder) {
  TempFolder folder;
  EXPECT_THROW(ListPhotoFolder(folder / "missing"), FileError);
  WriteFile(folder / "file.png", {1});
  EXPECT_THROW(ListPhotoFolder(folder / "file.png"), FileError);
  fs::create_directory(folder / "empty");
  const PhotoFiles none = ListPhotoFolder(folder / "empty");
  EXPECT_TRUE(none.pictures.empty());
  EXPECT_TRUE(none.skipped.empty());
}

}  // namespace
}  // namespace ksv::picture
