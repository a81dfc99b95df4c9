// The fixed structures of an AVI file's headers and indexes, field by field:
// the main header (avih), the stream header (strh), the OpenDML super index
// (indx) and standard index (ix##), and idx1 entries.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/media/avi/avi_file.h"

namespace ksv::media::avi::layout {

inline constexpr size_t kMainHeaderSize = 56;
inline constexpr size_t kMainHeaderMinimum = 40;  // up to the picture height
inline constexpr size_t kStreamHeaderSize = 56;
inline constexpr size_t kStreamHeaderMinimum = 48;  // older files end before rcFrame
inline constexpr size_t kExtendedHeaderSize = 248;  // dmlh
inline constexpr size_t kBitmapInfoHeaderSize = 40;
inline constexpr size_t kWaveFormatSize = 14;
inline constexpr size_t kPcmWaveFormatSize = 16;
inline constexpr uint16_t kWaveFormatPcm = 1;

// OpenDML indexes: a 24-byte header, then entries.
inline constexpr size_t kIndexHeaderSize = 24;
inline constexpr uint8_t kIndexOfIndexes = 0;
inline constexpr uint8_t kIndexOfChunks = 1;
inline constexpr size_t kSuperIndexEntrySize = 16;    // qwOffset, dwSize, dwDuration
inline constexpr size_t kStandardIndexEntrySize = 8;  // dwOffset, dwSize
inline constexpr uint32_t kNotKeyFrame = 0x80000000;  // in a standard index entry's size
inline constexpr size_t kLegacyIndexEntrySize = 16;   // ckid, flags, offset, size

inline constexpr uint32_t kAvi = Fourcc("AVI ");
inline constexpr uint32_t kAviExtension = Fourcc("AVIX");
inline constexpr uint32_t kHeaderList = Fourcc("hdrl");
inline constexpr uint32_t kMainHeaderId = Fourcc("avih");
inline constexpr uint32_t kStreamList = Fourcc("strl");
inline constexpr uint32_t kStreamHeaderId = Fourcc("strh");
inline constexpr uint32_t kStreamFormatId = Fourcc("strf");
inline constexpr uint32_t kStreamNameId = Fourcc("strn");
inline constexpr uint32_t kSuperIndexId = Fourcc("indx");
inline constexpr uint32_t kOpenDmlList = Fourcc("odml");
inline constexpr uint32_t kExtendedHeaderId = Fourcc("dmlh");
inline constexpr uint32_t kMovieList = Fourcc("movi");
inline constexpr uint32_t kRecordList = Fourcc("rec ");
inline constexpr uint32_t kLegacyIndexId = Fourcc("idx1");

// Reads need at least the minimum sizes above.
MainHeader DecodeMainHeader(std::span<const uint8_t> bytes);
StreamHeader DecodeStreamHeader(std::span<const uint8_t> bytes);
void AppendMainHeader(std::vector<uint8_t>& out, const MainHeader& header);
void AppendStreamHeader(std::vector<uint8_t>& out, const StreamHeader& header);

// Appends a chunk: id, size, data, a pad byte when the size is odd.
void AppendChunk(std::vector<uint8_t>& out, uint32_t id, std::span<const uint8_t> data);
// Appends a list header whose size is patched later; returns where the size is.
size_t BeginList(std::vector<uint8_t>& out, uint32_t id, uint32_t type);
void EndList(std::vector<uint8_t>& out, size_t sizeAt);

}  // namespace ksv::media::avi::layout
