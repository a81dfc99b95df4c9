#include "camapi/item_files.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "codec/scan_extent.h"
#include "platform/files/files.h"
#include "support/picture/whole_file.h"

namespace ksv::camapi {

namespace {

constexpr size_t kJfifTerminator = 10;

// Creates or replaces the file with `bytes`, atomically: a file that could
// not be written whole never stands under the name, and an earlier file
// there stays as it was.
WriteOutcome WriteFileBytes(const char* path, std::span<const uint8_t> bytes) {
  if (path == nullptr) return {false, ENOENT};
  const int error = picture::TryWriteWholeFile(path, bytes);
  return {error == 0, error};
}

void AppendHeader(std::vector<uint8_t>& out, std::span<const uint8_t> header) {
  out.assign(header.begin(), header.end());
  if (out.size() > kJfifTerminator) out[kJfifTerminator] = 0;
}

// The picture size the header's baseline frame segment names; 0 x 0 when it
// has none.
struct PictureSize {
  uint32_t width = 0;
  uint32_t height = 0;
};
PictureSize FrameSizeOf(std::span<const uint8_t> header) {
  size_t at = 2;  // past SOI
  while (at + 4 <= header.size() && header[at] == 0xFF) {
    const uint8_t code = header[at + 1];
    const size_t length = size_t{header[at + 2]} << 8 | header[at + 3];
    if (code == 0xC0 && length >= 8 && at + 2 + length <= header.size()) {
      // Precision, height, width, components; the camera's are 4:2:0.
      const uint8_t* f = &header[at + 4];
      const bool camera420 =
          length == 17 && f[5] == 3 && f[7] == 0x22 && f[10] == 0x11 && f[13] == 0x11;
      if (!camera420) return {};
      return {uint32_t{f[3]} << 8 | f[4], uint32_t{f[1]} << 8 | f[2]};
    }
    if (code == 0xDA) break;
    at += 2 + length;
  }
  return {};
}

// `data` up to the end of its scan: the camera's memory pads each item with
// zeros, which must not stand between the scan and the end marker. Data
// whose scan cannot be walked is kept whole.
std::span<const uint8_t> ScanOnly(std::span<const uint8_t> header, std::span<const uint8_t> data,
                                  codec::ScanBytes layout) {
  const PictureSize size = FrameSizeOf(header);
  const std::optional<size_t> extent = codec::ScanExtent(data, size.width, size.height, layout);
  return extent ? data.first(*extent) : data;
}

}  // namespace

WriteOutcome WritePlainJpeg(const char* path, std::span<const uint8_t> header,
                            std::span<const uint8_t> data, std::vector<uint8_t>& scratch) {
  AppendHeader(scratch, header);
  const std::span<const uint8_t> scan = ScanOnly(header, data, codec::ScanBytes::kStuffed);
  scratch.insert(scratch.end(), scan.begin(), scan.end());
  if (scan.size() != data.size()) {
    scratch.push_back(0xFF);
    scratch.push_back(0xD9);
  }
  return WriteFileBytes(path, scratch);
}

WriteOutcome WriteStuffedJpeg(const char* path, std::span<const uint8_t> header,
                              std::span<const uint8_t> data, std::vector<uint8_t>& scratch) {
  AppendHeader(scratch, header);
  data = ScanOnly(header, data, codec::ScanBytes::kBare);
  // At most every byte is 0xFF: room for the worst case at once. The data
  // is copied in the runs between its 0xFF bytes.
  scratch.reserve(scratch.size() + 2 * data.size() + 2);
  const uint8_t* at = data.data();
  const uint8_t* const end = at + data.size();
  while (at < end) {
    const auto* marker = static_cast<const uint8_t*>(std::memchr(at, 0xFF, static_cast<size_t>(end - at)));
    const uint8_t* runEnd = marker != nullptr ? marker + 1 : end;
    scratch.insert(scratch.end(), at, runEnd);
    if (marker != nullptr) scratch.push_back(0x00);
    at = runEnd;
  }
  scratch.push_back(0xFF);
  scratch.push_back(0xD9);
  return WriteFileBytes(path, scratch);
}

WriteOutcome WriteRotatedRaw(const char* path, std::span<const uint8_t> data,
                             std::vector<uint8_t>& scratch) {
  scratch.resize(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    scratch[i] = static_cast<uint8_t>(data[i] >> 2 | data[i] << 6);
  }
  return WriteFileBytes(path, scratch);
}

bool DiskNearlyFull(const char* path, const WriteOutcome& outcome) {
  if (outcome.error == ENOSPC || outcome.error == EDQUOT) return true;
  if (path == nullptr) return false;
  std::string folder(path);
  const size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : folder.substr(0, slash));
  uint64_t available = 0;
  return GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr) &&
         available < kNearlyFullBytes;
}

}  // namespace ksv::camapi
