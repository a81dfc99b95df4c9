// For the tests of the file-building and playback graphs: a system root
// with the filters those graphs use, a parent window for the handles, a
// client's frame callback, a sound file, and running a built graph until it
// completes while pumping this thread's messages as a client does.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "include/oksv1gra.h"
#include "platform/media/avi/avi_file.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::graph::testing {

// The plug-ins and a top-level window to parent the handles' hidden windows.
class FileGraphRoot {
 public:
  FileGraphRoot();
  ~FileGraphRoot();
  FileGraphRoot(const FileGraphRoot&) = delete;
  FileGraphRoot& operator=(const FileGraphRoot&) = delete;

  bool ok() const { return root_.ok() && window_ != nullptr; }
  const std::string& error() const { return root_.error(); }
  HWND window() const { return window_; }
  std::string Path(const std::string& name) const { return (root_ / name).string(); }
  // A handle parented to the window; null when QMG_Init failed.
  QmgHandle* NewHandle() const { return QMG_Init(nullptr, window_); }

 private:
  media::testing::PluginRoot root_;
  HWND window_ = nullptr;
};

// A test of file graphs: the root, and fresh handles reset when it ends.
class FileGraphTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(root_.ok()) << root_.error(); }
  void TearDown() override {
    for (QmgHandle* handle : handles_) QMG_Reset(handle);
  }

  // A fresh handle for one build.
  QmgHandle* Handle() {
    QmgHandle* handle = root_.NewHandle();
    EXPECT_NE(handle, nullptr);
    handles_.push_back(handle);
    return handle;
  }

  FileGraphRoot root_;
  std::vector<QmgHandle*> handles_;
};

// The client's frame callback: `frames` 24-bit pictures of width x height
// whose bytes follow from the frame number, then the end.
struct FrameFeed {
  int32_t width = 32;
  int32_t height = 24;
  int frames = 10;
  std::atomic<int> delivered{0};  // counted on the streaming thread
  std::atomic<int> calls{0};

  static int32_t Next(BYTE* buffer, intptr_t self);
  intptr_t user() { return reinterpret_cast<intptr_t>(this); }
};

// A 16-bit mono PCM WAV file of `samples` samples at `rate`; returns the
// samples' bytes as the file holds them.
std::vector<uint8_t> WriteToneWav(const std::string& path, uint32_t rate, uint32_t samples);
// The bytes of a WAV file's "data" chunk (empty when it has none).
std::vector<uint8_t> WavData(const std::string& path);

// Sets the event flag, plays and pumps this thread's messages until the
// graph's completion cleared the flag (true) or `limit` passed (false);
// then stops the graph.
bool RunToCompletion(QmgHandle* handle, std::chrono::milliseconds limit = std::chrono::seconds(10));

// The AVI file as the platform's reader sees it (throws when it cannot).
media::avi::File ReadAviFile(const std::string& path);
// biCompression of a video stream's format.
uint32_t VideoCompression(const media::avi::Stream& stream);

}  // namespace ksv::graph::testing
