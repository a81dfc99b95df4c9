#include "apps/ksvcam/memory_info.h"

#include <cstdio>

namespace ksv::ksvcam {
namespace {

using outside::bulk::ItemTag;
using outside::bulk::StoredItem;

std::string KindText(const StoredItem& item) {
  switch (item.tag()) {
    case ItemTag::kPicture:
      return item.header.subtype == outside::bulk::kHighQualitySubtype ? "high-quality picture"
                                                                : "low-quality picture";
    case ItemTag::kClip:
      return item.header.subtype == outside::bulk::kClipSubtype ? "clip" : "low-resolution clip";
    case ItemTag::kVideoClip:
      return "clip without sound";
    case ItemTag::kBurst:
      return "burst";
    case ItemTag::kRecording:
      return "raw recording";
  }
  return "?";
}

std::string SoundText(const StoredItem& item) {
  if (item.tag() != ItemTag::kClip) return "-";
  return item.header.audioRate == outside::bulk::kAdpcmRate ? "ADPCM 8000 Hz" : "PCM 12000 Hz";
}

std::string ItemLine(size_t index, const StoredItem& item) {
  const bool hasFrames = item.header.chunkCount != 0;
  const std::string size =
      item.tag() == ItemTag::kRecording
          ? "-"
          : std::to_string(item.header.width) + "x" + std::to_string(item.header.height);
  const std::string frames = hasFrames ? std::to_string(item.header.chunkCount) + " frames" : "-";
  char line[200];
  std::snprintf(line, sizeof line, "%5zu  %-4s %-21s %-8s %-10s %-14s %9zu bytes\n", index,
                outside::bulk::TagText(item.header.tag).c_str(), KindText(item).c_str(), size.c_str(),
                frames.c_str(), SoundText(item).c_str(),
                outside::bulk::kItemHeaderSize + item.data.size());
  return line;
}

std::string CountsLine(const outside::bulk::CameraMemory& memory) {
  struct Type {
    int number;
    const char* name;
  };
  static constexpr Type kTypes[] = {{outside::bulk::kCountHighQualityPictures, "high-quality pictures"},
                                    {outside::bulk::kCountLowQualityPictures, "low-quality pictures"},
                                    {outside::bulk::kCountClips, "clips"},
                                    {outside::bulk::kCountLowResClips, "low-resolution clips"},
                                    {outside::bulk::kCountBursts, "bursts"}};
  std::string line = "counts:";
  for (const Type& type : kTypes) {
    line += (type.number == 1 ? " " : ", ") + std::string(type.name) + " " +
            std::to_string(*outside::bulk::CountOfType(memory, type.number)) + " (type " +
            std::to_string(type.number) + ")";
  }
  return line + "\n";
}

}  // namespace

std::string DescribeMemory(const outside::bulk::CameraMemory& memory, const std::string& source) {
  std::string text = "camera memory: " + source + "\n";
  text += "firmware: " + memory.versions.firmware + "\nsensor: " + memory.versions.sensor +
          "\nchip: " + memory.versions.chip + "\n";
  text += "items: " + std::to_string(memory.items.size()) + ", " +
          std::to_string(outside::bulk::StreamSize(memory)) + " bytes\n";
  if (!memory.items.empty()) {
    char heading[200];
    std::snprintf(heading, sizeof heading, "%5s  %-4s %-21s %-8s %-10s %-14s %15s\n", "item", "tag",
                  "kind", "size", "frames", "sound", "stream");
    text += heading;
  }
  for (size_t i = 0; i < memory.items.size(); ++i) text += ItemLine(i, memory.items[i]);
  return text + CountsLine(memory);
}

}  // namespace ksv::ksvcam
