#include "platform/avifile/tests/avifile_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/media/avi/tests/avi_test_support.h"

namespace ksv::avifile::test {

std::string Clip(const std::string& kind) {
  static testing::TempFolder folder;
  static std::map<std::string, std::string> made;
  if (auto found = made.find(kind); found != made.end()) return found->second;
  const std::string path = (folder / (kind + ".avi")).string();
  const std::string video = "-f lavfi -i testsrc=size=64x48:rate=15:duration=1 ";
  std::string command = "ffmpeg -v error -y " + video;
  if (kind == "mjpeg") {
    command += "-f lavfi -i sine=frequency=440:sample_rate=8000:duration=1 "
               "-c:v mjpeg -q:v 3 -c:a pcm_s16le ";
  } else {
    command += "-c:v cinepak -g 5 ";
  }
  command += "'" + path + "'";
  if (std::system(command.c_str()) != 0) ADD_FAILURE() << "ffmpeg failed: " << command;
  made[kind] = path;
  return path;
}

File Open(const std::string& path) {
  PAVIFILE file = nullptr;
  const HRESULT result = AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr);
  EXPECT_EQ(result, AVIERR_OK) << path;
  return File(file);
}

Stream GetStream(IAVIFile* file, DWORD type) {
  PAVISTREAM stream = nullptr;
  EXPECT_EQ(AVIFileGetStream(file, &stream, type, 0), AVIERR_OK);
  return Stream(stream);
}

std::vector<uint8_t> Sample(IAVIStream* stream, LONG pos) {
  LONG bytes = 0;
  EXPECT_EQ(AVIStreamRead(stream, pos, 1, nullptr, 0, &bytes, nullptr), AVIERR_OK);
  std::vector<uint8_t> data(static_cast<size_t>(bytes));
  LONG samples = 0;
  EXPECT_EQ(AVIStreamRead(stream, pos, 1, data.data(), bytes, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 1);
  return data;
}

std::vector<uint8_t> FfmpegFrame(const std::string& path, int n, int width, int height) {
  const auto output = media::avi::test::Run(
      "ffmpeg -v error -i '" + path + "' -map 0:v -vf 'select=eq(n\\," + std::to_string(n) +
      ")' -frames:v 1 -f rawvideo -pix_fmt bgr24 -");
  if (!output || output->size() != size_t(width) * height * 3) return {};
  return {output->begin(), output->end()};
}

double MeanDifference(const uint8_t* dib, const std::vector<uint8_t>& topDown, int width,
                      int height) {
  const uint8_t* pixels = dib + sizeof(BITMAPINFOHEADER);
  const size_t stride = (size_t(width) * 3 + 3) & ~size_t{3};
  double total = 0;
  for (int row = 0; row < height; ++row) {
    const uint8_t* ours = pixels + size_t(height - 1 - row) * stride;
    const uint8_t* theirs = topDown.data() + size_t(row) * width * 3;
    for (int i = 0; i < width * 3; ++i) total += std::abs(int(ours[i]) - int(theirs[i]));
  }
  return total / (double(width) * height * 3);
}

size_t Find(const std::vector<uint8_t>& bytes, const char (&tag)[5], size_t from) {
  for (size_t i = from; i + 4 <= bytes.size(); ++i) {
    if (std::memcmp(&bytes[i], tag, 4) == 0) return i;
  }
  return std::string::npos;
}

namespace {
uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, &bytes[at], 4);
  return value;
}
}  // namespace

std::vector<uint32_t> LegacyIndexIds(const std::vector<uint8_t>& file) {
  std::vector<uint32_t> ids;
  const size_t at = Find(file, "idx1");
  if (at == std::string::npos) return ids;
  const uint32_t size = Le32(file, at + 4);
  for (size_t entry = at + 8; entry + 16 <= at + 8 + size && entry + 16 <= file.size();
       entry += 16)
    ids.push_back(Le32(file, entry));
  return ids;
}

std::vector<uint32_t> MainHeaderFields(const std::vector<uint8_t>& file) {
  std::vector<uint32_t> fields;
  const size_t at = Find(file, "avih");
  if (at == std::string::npos) return fields;
  for (size_t i = 0; i < 10; ++i) fields.push_back(Le32(file, at + 8 + 4 * i));
  return fields;
}

}  // namespace ksv::avifile::test
