#include "platform/files/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "include/win32_errors.h"
#include "platform/sync/sync.h"

#include "testing/temp_files.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  ::ksv::testing::TempFolder temp_;
  fs::path folder_ = temp_.path();
};

TEST_F(Files, TemporaryNamesAreFreshAndClaimed) {
  char first[260];
  char second[260];
  const UINT a = GetTempFileNameA(folder_.c_str(), "CLPX", 0, first);
  const UINT b = GetTempFileNameA(folder_.c_str(), "CLP", 0, second);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_STRNE(first, second);
  EXPECT_TRUE(fs::exists(first));
  EXPECT_EQ(fs::file_size(first), 0u);
  EXPECT_EQ(fs::path(first).parent_path(), folder_);
  const std::string name = fs::path(first).filename().string();
  EXPECT_EQ(name.substr(0, 3), "CLP");
  EXPECT_EQ(name.substr(name.size() - 4), ".TMP");

  // A given number is used as it is and nothing is created.
  char given[260];
  EXPECT_EQ(GetTempFileNameA(folder_.c_str(), "CLP", 0xAB, given), 0xABu);
  EXPECT_EQ(fs::path(given).filename(), "CLPAB.TMP");
  EXPECT_FALSE(fs::exists(given));

  EXPECT_EQ(GetTempFileNameA((folder_ / "missing").c_str(), "CLP", 0, given), 0u);
}

TEST_F(Files, FreeSpaceOfAFolder) {
  uint64_t available = 0, total = 0, free = 0;
  ASSERT_TRUE(GetDiskFreeSpaceExA(folder_.c_str(), &available, &total, &free));
  EXPECT_GT(total, 0u);
  EXPECT_LE(available, free);
  EXPECT_LE(free, total);
  EXPECT_FALSE(GetDiskFreeSpaceExA((folder_ / "missing").c_str(), &available, nullptr, nullptr));
}

}  // namespace

namespace {

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

// Every name a search for `pattern` gives, in the order found.
std::set<std::string> Found(const fs::path& pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.insert(data.cFileName);
  while (FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));
  return names;
}

TEST_F(Files, FindingFilesMatchesWildcardsWhateverTheCase) {
  for (const char* name : {"KSVCam.ds", "KSVCam.pro", "ksvcam.loc", "ds", "a.ds.bak", "noext"}) Touch(folder_ / name);
  fs::create_directory(folder_ / "Clips");
  EXPECT_EQ(Found(folder_ / "*.DS"), (std::set<std::string>{"KSVCam.ds"}));
  EXPECT_EQ(Found(folder_ / "ksvcam.*"), (std::set<std::string>{"KSVCam.ds", "KSVCam.pro", "ksvcam.loc"}));
  EXPECT_EQ(Found(folder_ / "KSVCAM.?RO"), (std::set<std::string>{"KSVCam.pro"}));
  EXPECT_EQ(Found(folder_ / "?S"), (std::set<std::string>{"ds"}));
  EXPECT_EQ(Found(folder_ / "*.*").size(), 9u) << "every name, dotless ones and . and .. too";
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA((folder_ / "clips").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "Clips");
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  FindClose(search);
  EXPECT_EQ(FindFirstFileA((folder_ / "*.avi").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA((folder_ / "missing" / "*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, AFileTimeBecomesItsCalendarParts) {
  const fs::path picture = folder_ / "DSC00001.JPG";
  Touch(picture);
  const timespec times[2] = {{1796549405, 250000000}, {1796549405, 250000000}};  // 6 December 2026 9:30:05.25 UTC
  ASSERT_EQ(utimensat(AT_FDCWD, picture.c_str(), times, 0), 0);
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA(picture.c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(data.nFileSizeLow, 1u);
  SYSTEMTIME time{};
  ASSERT_TRUE(FileTimeToSystemTime(&data.ftLastWriteTime, &time));
  EXPECT_EQ(time.wYear, 2026);
  EXPECT_EQ(time.wMonth, 12);
  EXPECT_EQ(time.wDay, 6);
  EXPECT_EQ(time.wDayOfWeek, 0) << "a Sunday";
  EXPECT_EQ(time.wHour, 9);
  EXPECT_EQ(time.wMinute, 30);
  EXPECT_EQ(time.wSecond, 5);
  EXPECT_EQ(time.wMilliseconds, 250);
  const FILETIME far{0xFFFFFFFFu, 0xFFFFFFFFu};
  EXPECT_FALSE(FileTimeToSystemTime(&far, &time));
}

TEST_F(Files, FoldersFilesAndTheSystemsFolders) {
  const fs::path made = folder_ / "Pictures";
  EXPECT_TRUE(CreateDirectoryA(made.c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryA(made.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  Touch(made / "a.bmp");
  EXPECT_FALSE(RemoveDirectoryA(made.c_str())) << "not empty";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_FALSE(DeleteFileA(made.c_str())) << "a folder is no file";
  EXPECT_TRUE(DeleteFileA((made / "a.bmp").c_str()));
  EXPECT_FALSE(DeleteFileA((made / "a.bmp").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(RemoveDirectoryA(made.c_str()));
  EXPECT_FALSE(fs::exists(made));

  setenv("KSV_ROOT", folder_.c_str(), 1);
  char path[512] = {};
  const std::string system = (folder_ / "system32").string();
  EXPECT_EQ(GetSystemDirectoryA(path, sizeof path), system.size());
  EXPECT_EQ(path, system);
  EXPECT_EQ(GetWindowsDirectoryA(path, 4), folder_.string().size() + 1) << "too small: the size needed";
  unsetenv("KSV_ROOT");

  setenv("CAMERA_ROOT", "/media/camera", 1);
  char expanded[64] = {};
  EXPECT_EQ(ExpandEnvironmentStringsA("%CAMERA_ROOT%/DCIM", expanded, sizeof expanded), 19u);
  EXPECT_STREQ(expanded, "/media/camera/DCIM");
  unsetenv("CAMERA_ROOT");
  EXPECT_EQ(ExpandEnvironmentStringsA("%CAMERA_ROOT%", expanded, sizeof expanded), 14u);
  EXPECT_STREQ(expanded, "%CAMERA_ROOT%") << "an unset name stays as written";
}

}  // namespace
