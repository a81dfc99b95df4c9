// The few MPEG-1 headers the filters read themselves, to describe a stream
// in its media type: the video sequence header and group-of-pictures time
// code, and the audio frame header. Every reader checks the length it is
// given and answers false for bytes that are not such a header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ksv::media::mpeg1 {

// A video sequence header (start code 00 00 01 B3), quantiser matrices
// included.
struct SequenceHeader {
  const uint8_t* bytes = nullptr;  // from its start code
  size_t size = 0;                 // 12, 76 or 140 bytes
  int width = 0;
  int height = 0;
  int frameRateCode = 0;
  uint32_t bitRate = 0;  // bits per second; 0 for the "variable" code
};

// Finds the first sequence header in `data` and reads it.
bool FindSequenceHeader(const uint8_t* data, size_t size, SequenceHeader* header);

// The frame time of a frame-rate code in 100-ns units (0 for a reserved code).
int64_t FrameTimeOfRateCode(int code);

// The 25-bit time code of the first group-of-pictures header (00 00 01 B8).
bool FindGopTimeCode(const uint8_t* data, size_t size, uint32_t* timeCode);

// An MPEG audio frame header (layers 1 to 3, MPEG-1, MPEG-2 and 2.5).
struct AudioFrameHeader {
  int version = 0;  // 1 (MPEG-1), 2 (MPEG-2) or 25 (MPEG-2.5)
  int layer = 0;    // 1, 2 or 3
  uint32_t bitRate = 0;  // bits per second; 0 for the "free format" code
  int sampleRate = 0;
  int mode = 0;     // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  int modeExtension = 0;
  int emphasis = 0;  // 0 none, 1 50/15 us, 2 reserved, 3 CCITT J.17
  bool protectionBit = false;  // the header's bit (1: no CRC follows)
  bool privateBit = false;
  bool copyright = false;
  bool original = false;
  int channels() const { return mode == 3 ? 1 : 2; }
};

// Reads the 4-byte header at `data`.
bool ParseAudioFrameHeader(const uint8_t* data, size_t size, AudioFrameHeader* header);

// One packet of an MPEG-1 system stream (00 00 01 stream id, length,
// stuffing, buffer size, time stamps): where its payload lies in `data`.
struct SystemPacket {
  size_t payloadOffset = 0;
  size_t payloadSize = 0;
  bool hasPts = false;
  int64_t pts = 0;  // 90 kHz units
};

// Reads the packet at the start of `data`; false when it is not one or is
// cut short.
bool ReadSystemPacket(const uint8_t* data, size_t size, SystemPacket* packet);

}  // namespace ksv::media::mpeg1
