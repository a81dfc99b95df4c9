// Reads VS_VERSIONINFO blocks out of files and finds values in them. Every
// length in a block is checked against the block around it: a damaged
// resource gives no value, never a read outside the block.
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/version/version.h"
#include "support/byte_order.h"

namespace {

constexpr size_t kMaxFileBytes = size_t{64} << 20;  // a driver file is far smaller
constexpr size_t kBlockHeader = 6;                  // length, value length, type
constexpr uint16_t kText = 1;
constexpr std::u16string_view kRootKey = u"VS_VERSION_INFO";

using ksv::support::LoadLe16;

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

// One block of a resource; offsets are from the resource's start.
struct Block {
  size_t start = 0;
  size_t end = 0;  // start + its length
  std::u16string key;
  uint16_t type = 0;
  size_t valueStart = 0;
  size_t valueBytes = 0;
  size_t childrenStart = 0;
};

// The block at `start` within `bytes` (the resource up to where the block
// must end), or nothing when it does not fit.
std::optional<Block> ReadBlock(std::span<const uint8_t> bytes, size_t start) {
  const size_t limit = bytes.size();
  if (start > limit || limit - start < kBlockHeader) return std::nullopt;
  Block block;
  block.start = start;
  const size_t length = LoadLe16(bytes, start);
  if (length < kBlockHeader || length > limit - start) return std::nullopt;
  block.end = start + length;
  const uint16_t valueLength = LoadLe16(bytes, start + 2);
  block.type = LoadLe16(bytes, start + 4);
  size_t at = start + kBlockHeader;
  for (;;) {
    if (at + 2 > block.end) return std::nullopt;
    const char16_t c = static_cast<char16_t>(LoadLe16(bytes, at));
    at += 2;
    if (c == 0) break;
    block.key.push_back(c);
  }
  block.valueStart = Align4(at);
  block.valueBytes = block.type == kText ? size_t{valueLength} * 2 : valueLength;
  if (block.valueStart > block.end || block.valueBytes > block.end - block.valueStart) {
    return std::nullopt;
  }
  block.childrenStart = Align4(block.valueStart + block.valueBytes);
  return block;
}

bool SameKey(std::u16string_view key, std::string_view wanted) {
  if (key.size() != wanted.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    auto lower = [](uint32_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    if (lower(key[i]) != lower(static_cast<uint8_t>(wanted[i]))) return false;
  }
  return true;
}

std::optional<Block> FindChild(std::span<const uint8_t> resource, const Block& parent,
                               std::string_view key) {
  size_t at = parent.childrenStart;
  while (at < parent.end) {
    const std::optional<Block> child = ReadBlock(resource.first(parent.end), at);
    if (!child) return std::nullopt;
    if (SameKey(child->key, key)) return child;
    at = Align4(child->end);
  }
  return std::nullopt;
}

// The version block's offset and length in `file`, found by its key. The
// key's UTF-16 bytes are searched for with memmem, not compared position by
// position: a plug-in is megabytes, and setup reads each one.
std::optional<std::pair<size_t, size_t>> LocateResource(const std::string& file) {
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  uint8_t key[kRootKey.size() * 2];
  for (size_t i = 0; i < kRootKey.size(); ++i) {
    key[2 * i] = static_cast<uint8_t>(kRootKey[i] & 0xFF);
    key[2 * i + 1] = static_cast<uint8_t>(kRootKey[i] >> 8);
  }
  size_t from = kBlockHeader;
  while (from + sizeof key <= file.size()) {
    const void* hit = ::memmem(file.data() + from, file.size() - from, key, sizeof key);
    if (hit == nullptr) break;
    const size_t keyAt = static_cast<size_t>(static_cast<const char*>(hit) - file.data());
    from = keyAt + 1;
    if ((keyAt - kBlockHeader) % 4 != 0) continue;
    const size_t start = keyAt - kBlockHeader;
    const std::optional<Block> root = ReadBlock(bytes, start);
    if (root && root->key == kRootKey) return std::make_pair(start, root->end - start);
  }
  return std::nullopt;
}

// The file's bytes, or nothing when it cannot be read whole (out of
// memory included: no exception leaves the exports below).
std::optional<std::string> ReadWholeFile(const char* fileName) noexcept try {
  if (fileName == nullptr) return std::nullopt;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.append(chunk, static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxFileBytes) return std::nullopt;
  }
  return bytes;
} catch (...) {
  return std::nullopt;
}

}  // namespace

extern "C" {

DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle) {
  if (handle != nullptr) *handle = 0;
  const std::optional<std::string> file = ReadWholeFile(fileName);
  if (!file) return 0;
  const auto found = LocateResource(*file);
  return found ? static_cast<DWORD>(found->second * 2) : 0;
}

BOOL GetFileVersionInfoA(const char* fileName, DWORD, DWORD length, void* data) {
  const std::optional<std::string> file = ReadWholeFile(fileName);
  if (!file || data == nullptr) return FALSE;
  const auto found = LocateResource(*file);
  if (!found || length < found->second * 2) return FALSE;
  std::memcpy(data, file->data() + found->first, found->second);
  std::memset(static_cast<uint8_t*>(data) + found->second, 0, found->second);
  return TRUE;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
  if (block == nullptr || subBlock == nullptr || buffer == nullptr) return FALSE;
  const auto* base = static_cast<const uint8_t*>(block);
  // The block's first field is its length: the caller's buffer holds that
  // many bytes, then the room for the ANSI copies of its texts.
  const std::span<const uint8_t> resource(base, LoadLe16(std::span(base, 2), 0));
  const size_t resourceBytes = resource.size();
  std::optional<Block> current = ReadBlock(resource, 0);
  if (!current) return FALSE;
  std::string_view path(subBlock);
  while (!path.empty()) {
    while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    const size_t cut = path.find('\\');
    const std::string_view key = path.substr(0, cut);
    path = cut == std::string_view::npos ? std::string_view() : path.substr(cut);
    if (key.empty()) continue;
    current = FindChild(resource, *current, key);
    if (!current) return FALSE;
  }
  if (current->type != kText) {
    if (current->valueBytes == 0) return FALSE;
    *buffer = const_cast<uint8_t*>(base + current->valueStart);
    if (length != nullptr) *length = static_cast<UINT>(current->valueBytes);
    return TRUE;
  }
  // A text: its ANSI copy goes into the room after the resource, at half
  // its offset, so the copies of different texts never overlap.
  auto* ansi = const_cast<uint8_t*>(base + resourceBytes + current->valueStart / 2);
  const size_t characters = current->valueBytes / 2;
  if (characters == 0) return FALSE;
  size_t n = 0;
  for (; n + 1 < characters; ++n) {  // the last character is the zero
    const uint16_t c = LoadLe16(resource, current->valueStart + 2 * n);
    if (c == 0) break;
    ansi[n] = c < 0x100 ? static_cast<uint8_t>(c) : '?';
  }
  ansi[n] = '\0';
  *buffer = ansi;
  if (length != nullptr) *length = static_cast<UINT>(n + 1);
  return TRUE;
}

}  // extern "C"
