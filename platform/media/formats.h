// The format blocks media types carry, laid out as the platform lays them
// out in memory: VIDEOINFOHEADER (FORMAT_VideoInfo, 88 bytes), VIDEOINFO
// (its 1,124-byte form with room for a colour table or bit masks) and
// WAVEFORMATEX (FORMAT_WaveFormatEx, 18 bytes, packed). They stay in memory;
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

// The bitmap header inside a FORMAT_VideoInfo block.
inline BITMAPINFOHEADER* HEADER(void* videoInfo) {
  return &static_cast<VIDEOINFOHEADER*>(videoInfo)->bmiHeader;
}
inline const BITMAPINFOHEADER* HEADER(const void* videoInfo) {
  return &static_cast<const VIDEOINFOHEADER*>(videoInfo)->bmiHeader;
}
