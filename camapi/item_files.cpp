#include "camapi/item_files.h"

#include <cerrno>
#include <cstring>
#include <string>

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

}  // namespace

WriteOutcome WritePlainJpeg(const char* path, std::span<const uint8_t> header,
                            std::span<const uint8_t> data, std::vector<uint8_t>& scratch) {
  AppendHeader(scratch, header);
  scratch.insert(scratch.end(), data.begin(), data.end());
  return WriteFileBytes(path, scratch);
}

WriteOutcome WriteStuffedJpeg(const char* path, std::span<const uint8_t> header,
                              std::span<const uint8_t> data, std::vector<uint8_t>& scratch) {
  AppendHeader(scratch, header);
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
