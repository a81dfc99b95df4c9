// Builds VS_VERSIONINFO blocks: each block is its 16-bit length, value
// length and type, its UTF-16 key, padding to 32 bits, its value, padding,
// then its child blocks.
#include <cstdio>
#include <stdexcept>
#include <string_view>

#include "platform/version/version.h"
#include "support/byte_order.h"

namespace ksv::platform {

namespace {

constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;

using support::AppendLe16;
using support::AppendLe32;

void AppendText(std::vector<uint8_t>& out, std::string_view text) {
  for (char c : text) AppendLe16(out, static_cast<uint8_t>(c));
  AppendLe16(out, 0);
}

void Align(std::vector<uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

// Starts a block at the end of `out`; returns where it starts. Its value
// follows; EndBlock fills in the length once the children are added.
size_t BeginBlock(std::vector<uint8_t>& out, std::string_view key, uint16_t valueLength,
                  uint16_t type) {
  Align(out);
  const size_t start = out.size();
  AppendLe16(out, 0);
  AppendLe16(out, valueLength);
  AppendLe16(out, type);
  AppendText(out, key);
  Align(out);
  return start;
}

void EndBlock(std::vector<uint8_t>& out, size_t start) {
  const size_t length = out.size() - start;
  if (length > 0xFFFF) throw std::length_error("version resource larger than 65,535 bytes");
  support::StoreLe16(out, start, static_cast<uint16_t>(length));
}

void AppendFixedInfo(std::vector<uint8_t>& out, const VersionInfo& info) {
  const uint32_t high = uint32_t{info.fileVersion[0]} << 16 | info.fileVersion[1];
  const uint32_t low = uint32_t{info.fileVersion[2]} << 16 | info.fileVersion[3];
  AppendLe32(out, 0xFEEF04BD);  // signature
  AppendLe32(out, 0x00010000);  // structure version 1.0
  AppendLe32(out, high);        // file version
  AppendLe32(out, low);
  AppendLe32(out, high);        // product version
  AppendLe32(out, low);
  AppendLe32(out, 0x3F);        // flags mask
  AppendLe32(out, 0);           // flags
  AppendLe32(out, 0x00040004);  // VOS_NT_WINDOWS32
  AppendLe32(out, info.fileType);
  AppendLe32(out, 0);           // subtype
  AppendLe32(out, 0);           // date
  AppendLe32(out, 0);
}

}  // namespace

void ParseFileVersion(std::string_view text, uint16_t (&numbers)[4]) {
  size_t at = 0;
  for (uint16_t& number : numbers) {
    number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      number = static_cast<uint16_t>(number * 10 + (text[at++] - '0'));
    }
    if (at < text.size() && text[at] == '.') ++at;
  }
}

std::vector<uint8_t> BuildVersionResource(const VersionInfo& info) {
  std::vector<uint8_t> out;
  const size_t root = BeginBlock(out, "VS_VERSION_INFO", 52, kBinary);
  AppendFixedInfo(out, info);

  const size_t strings = BeginBlock(out, "StringFileInfo", 0, kText);
  char tableKey[9];
  std::snprintf(tableKey, sizeof tableKey, "%04x%04x", info.language, info.codePage);
  const size_t table = BeginBlock(out, tableKey, 0, kText);
  for (const auto& [key, text] : info.texts) {
    if (text.size() >= 0xFFFF) throw std::length_error("version text too long");
    const size_t entry = BeginBlock(out, key, static_cast<uint16_t>(text.size() + 1), kText);
    AppendText(out, text);
    EndBlock(out, entry);
  }
  EndBlock(out, table);
  EndBlock(out, strings);

  const size_t vars = BeginBlock(out, "VarFileInfo", 0, kText);
  const size_t translation = BeginBlock(out, "Translation", 4, kBinary);
  AppendLe16(out, info.language);
  AppendLe16(out, info.codePage);
  EndBlock(out, translation);
  EndBlock(out, vars);

  EndBlock(out, root);
  return out;
}

}  // namespace ksv::platform
