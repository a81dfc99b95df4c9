// The format blocks media types carry, laid out as the platform lays them
// out in memory: VIDEOINFOHEADER (FORMAT_VideoInfo, 88 bytes), VIDEOINFO
// (its 1,124-byte form with room for a colour table or bit masks),
// WAVEFORMATEX (FORMAT_WaveFormatEx, 18 bytes, packed) and the MPEG-1 forms
// MPEG1VIDEOINFO (FORMAT_MPEGVideo) and MPEG1WAVEFORMAT (40 bytes). They stay in memory;
// files are written field by field elsewhere.
#pragma once

#include <cstddef>

#include "include/win32_types.h"
#include "platform/media/media_types.h"

struct VIDEOINFOHEADER {
  RECT rcSource;  // the part of the picture to use (empty: all of it)
  RECT rcTarget;  // where it goes in the destination (empty: all of it)
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};

inline constexpr int iPALETTE_COLORS = 256;
inline constexpr int iMASK_COLORS = 3;

struct TRUECOLORINFO {
  DWORD dwBitMasks[iMASK_COLORS];
  RGBQUAD bmiColors[iPALETTE_COLORS];
};

// VIDEOINFOHEADER followed by a colour table, bit masks, or both: 1,124
// bytes, the size format blocks of this form are made with (4-byte packing
// keeps the 64-bit frame time from padding it to 1,128).
#pragma pack(push, 4)
struct VIDEOINFO {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
  union {
    RGBQUAD bmiColors[iPALETTE_COLORS];
    DWORD dwBitMasks[iMASK_COLORS];
    TRUECOLORINFO TrueColorInfo;
  };
};
#pragma pack(pop)

inline constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;  // extra bytes that follow the structure
};
#pragma pack(pop)

static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);
static_assert(sizeof(VIDEOINFO) == 1124);
static_assert(offsetof(VIDEOINFO, bmiColors) == 88);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, nBlockAlign) == 12);

// FORMAT_MPEGVideo: an MPEG-1 video stream, the VIDEOINFOHEADER followed by
// the group-of-pictures time code the data starts at and the stream's
// sequence header (quantiser matrices included). The block is
// MPEG1VIDEOINFO_HEADER_SIZE + cbSequenceHeader bytes long.
struct MPEG1VIDEOINFO {
  VIDEOINFOHEADER hdr;
  DWORD dwStartTimeCode;   // 25-bit time code of the first group of pictures
  DWORD cbSequenceHeader;  // bytes in bSequenceHeader
  BYTE bSequenceHeader[1];
};
inline constexpr ULONG MPEG1VIDEOINFO_HEADER_SIZE = offsetof(MPEG1VIDEOINFO, bSequenceHeader);

// The wave format tags of MPEG audio.
inline constexpr WORD WAVE_FORMAT_MPEG = 0x0050;       // layers 1 and 2
inline constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x0055;

// fwHeadLayer, fwHeadMode and fwHeadFlags of MPEG1WAVEFORMAT (bit sets:
// a stream whose frames differ has several bits).
inline constexpr WORD ACM_MPEG_LAYER1 = 0x0001;
inline constexpr WORD ACM_MPEG_LAYER2 = 0x0002;
inline constexpr WORD ACM_MPEG_LAYER3 = 0x0004;
inline constexpr WORD ACM_MPEG_STEREO = 0x0001;
inline constexpr WORD ACM_MPEG_JOINTSTEREO = 0x0002;
inline constexpr WORD ACM_MPEG_DUALCHANNEL = 0x0004;
inline constexpr WORD ACM_MPEG_SINGLECHANNEL = 0x0008;
inline constexpr WORD ACM_MPEG_PRIVATEBIT = 0x0001;
inline constexpr WORD ACM_MPEG_COPYRIGHT = 0x0002;
inline constexpr WORD ACM_MPEG_ORIGINALHOME = 0x0004;
inline constexpr WORD ACM_MPEG_PROTECTIONBIT = 0x0008;
inline constexpr WORD ACM_MPEG_ID_MPEG1 = 0x0010;

// FORMAT_WaveFormatEx with tag WAVE_FORMAT_MPEG: MPEG-1 audio, the
// WAVEFORMATEX (cbSize 22) followed by what the frame headers say.
#pragma pack(push, 1)
struct MPEG1WAVEFORMAT {
  WAVEFORMATEX wfx;
  WORD fwHeadLayer;
  DWORD dwHeadBitrate;  // bits per second; 0 when it varies
  WORD fwHeadMode;
  WORD fwHeadModeExt;
  WORD wHeadEmphasis;   // 1 none, 2 50/15 us, 3 reserved, 4 CCITT J.17
  WORD fwHeadFlags;
  DWORD dwPTSLow;       // presentation time stamp of the first frame (33 bits)
  DWORD dwPTSHigh;
};
#pragma pack(pop)

static_assert(offsetof(MPEG1VIDEOINFO, dwStartTimeCode) == 88);
static_assert(MPEG1VIDEOINFO_HEADER_SIZE == 96);
static_assert(sizeof(MPEG1WAVEFORMAT) == 40);
static_assert(sizeof(MPEG1WAVEFORMAT) - sizeof(WAVEFORMATEX) == 22);
static_assert(offsetof(MPEG1WAVEFORMAT, dwHeadBitrate) == 20);

// The bitmap header inside a FORMAT_VideoInfo block.
inline BITMAPINFOHEADER* HEADER(void* videoInfo) {
  return &static_cast<VIDEOINFOHEADER*>(videoInfo)->bmiHeader;
}
inline const BITMAPINFOHEADER* HEADER(const void* videoInfo) {
  return &static_cast<const VIDEOINFOHEADER*>(videoInfo)->bmiHeader;
}
