#include "platform/media/filters/mpeg1/mpeg_headers.h"

namespace ksv::media::mpeg1 {
namespace {

constexpr uint8_t kSequenceHeaderCode = 0xB3;
constexpr uint8_t kGroupOfPicturesCode = 0xB8;
constexpr size_t kSequenceHeaderBase = 12;  // start code and fixed fields
constexpr size_t kMatrixBytes = 64;

// The offset of the first start code 00 00 01 `code` at or after `from`, or `size`.
size_t FindStartCode(const uint8_t* data, size_t size, uint8_t code, size_t from = 0) {
  for (size_t at = from; at + 4 <= size; ++at) {
    if (data[at] == 0 && data[at + 1] == 0 && data[at + 2] == 1 && data[at + 3] == code) {
      return at;
    }
  }
  return size;
}

}  // namespace

bool FindSequenceHeader(const uint8_t* data, size_t size, SequenceHeader* header) {
  if (data == nullptr) return false;
  const size_t at = FindStartCode(data, size, kSequenceHeaderCode);
  if (at + kSequenceHeaderBase > size) return false;
  const uint8_t* bytes = data + at;
  SequenceHeader read;
  read.bytes = bytes;
  read.width = (bytes[4] << 4) | (bytes[5] >> 4);
  read.height = ((bytes[5] & 0x0F) << 8) | bytes[6];
  read.frameRateCode = bytes[7] & 0x0F;
  const uint32_t rateValue = (uint32_t{bytes[8]} << 10) | (uint32_t{bytes[9]} << 2) | (bytes[10] >> 6);
  read.bitRate = rateValue == 0x3FFFF ? 0 : rateValue * 400;
  if (read.width == 0 || read.height == 0) return false;
  // The intra matrix follows its flag (the last bit but one of byte 11);
  // the non-intra flag is the last bit before the next byte boundary.
  size_t length = kSequenceHeaderBase;
  const bool intraMatrix = (bytes[11] & 0x02) != 0;
  if (intraMatrix) length += kMatrixBytes;
  if (at + length > size) return false;
  const bool nonIntraMatrix = (bytes[length - 1] & 0x01) != 0;
  if (nonIntraMatrix) length += kMatrixBytes;
  if (at + length > size) return false;
  read.size = length;
  *header = read;
  return true;
}

int64_t FrameTimeOfRateCode(int code) {
  // Frames per second as a fraction for codes 1 to 8.
  static constexpr int64_t kNumerator[] = {24000, 24, 25, 30000, 30, 50, 60000, 60};
  static constexpr int64_t kDenominator[] = {1001, 1, 1, 1001, 1, 1, 1001, 1};
  if (code < 1 || code > 8) return 0;
  return 10'000'000 * kDenominator[code - 1] / kNumerator[code - 1];
}

bool FindGopTimeCode(const uint8_t* data, size_t size, uint32_t* timeCode) {
  if (data == nullptr) return false;
  const size_t at = FindStartCode(data, size, kGroupOfPicturesCode);
  if (at + 8 > size) return false;
  const uint8_t* bytes = data + at + 4;
  *timeCode = (uint32_t{bytes[0]} << 17) | (uint32_t{bytes[1]} << 9) | (uint32_t{bytes[2]} << 1) |
              (bytes[3] >> 7);
  return true;
}

bool ParseAudioFrameHeader(const uint8_t* data, size_t size, AudioFrameHeader* header) {
  if (data == nullptr || size < 4) return false;
  if (data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) return false;
  AudioFrameHeader read;
  switch ((data[1] >> 3) & 0x03) {
    case 3: read.version = 1; break;
    case 2: read.version = 2; break;
    case 0: read.version = 25; break;
    default: return false;  // reserved
  }
  const int layerBits = (data[1] >> 1) & 0x03;
  if (layerBits == 0) return false;
  read.layer = 4 - layerBits;
  read.protectionBit = (data[1] & 0x01) != 0;
  const int rateIndex = data[2] >> 4;
  const int frequencyIndex = (data[2] >> 2) & 0x03;
  if (rateIndex == 15 || frequencyIndex == 3) return false;
  read.privateBit = (data[2] & 0x01) != 0;
  read.mode = data[3] >> 6;
  read.modeExtension = (data[3] >> 4) & 0x03;
  read.copyright = (data[3] & 0x08) != 0;
  read.original = (data[3] & 0x04) != 0;
  read.emphasis = data[3] & 0x03;

  // kbit/s by [MPEG-1 layer 1..3, MPEG-2/2.5 layer 1, MPEG-2/2.5 layers 2 and 3][index].
  static constexpr uint16_t kRates[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
  };
  const int table = read.version == 1 ? read.layer - 1 : (read.layer == 1 ? 3 : 4);
  read.bitRate = uint32_t{kRates[table][rateIndex]} * 1000;
  static constexpr int kFrequencies[] = {44100, 48000, 32000};
  const int divisor = read.version == 1 ? 1 : (read.version == 2 ? 2 : 4);
  read.sampleRate = kFrequencies[frequencyIndex] / divisor;
  *header = read;
  return true;
}

bool ReadSystemPacket(const uint8_t* data, size_t size, SystemPacket* packet) {
  constexpr uint8_t kFirstStreamId = 0xBC;
  constexpr uint8_t kPaddingStream = 0xBE;
  constexpr uint8_t kPrivateStream2 = 0xBF;
  constexpr size_t kMaxStuffing = 16;
  if (data == nullptr || size < 6) return false;
  if (data[0] != 0 || data[1] != 0 || data[2] != 1 || data[3] < kFirstStreamId) return false;
  const size_t end = 6 + ((size_t{data[4]} << 8) | data[5]);
  if (end > size) return false;
  SystemPacket read;
  size_t at = 6;
  if (data[3] != kPaddingStream && data[3] != kPrivateStream2) {
    for (size_t stuffing = 0; at < end && data[at] == 0xFF; ++at) {
      if (++stuffing > kMaxStuffing) return false;
    }
    if (at + 2 <= end && (data[at] & 0xC0) == 0x40) at += 2;  // buffer scale and size
    if (at >= end) return false;
    const uint8_t marker = data[at] & 0xF0;
    if (marker == 0x20 || marker == 0x30) {
      const size_t stamps = marker == 0x20 ? 5 : 10;
      if (at + stamps > end) return false;
      const uint8_t* p = data + at;
      read.hasPts = true;
      read.pts = (int64_t{(p[0] >> 1) & 0x07} << 30) | (int64_t{p[1]} << 22) |
                 (int64_t{p[2] >> 1} << 15) | (int64_t{p[3]} << 7) | (p[4] >> 1);
      at += stamps;
    } else if (data[at] == 0x0F) {
      ++at;
    } else {
      return false;
    }
  }
  read.payloadOffset = at;
  read.payloadSize = end - at;
  *packet = read;
  return true;
}

}  // namespace ksv::media::mpeg1
