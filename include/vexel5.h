/* The Vexel 5 video encoder: a video compressor filter that writes Motion
 * JPEG (FOURCC "MJPG"), so every player opens what it makes. Clients
 * create it by class identifier or find it in the video compressor
 * category as "Vexel 5 Video Encoder", and tune it through IVexelEncode.
 *
 * Its per-user settings live in the current user's hive under
 * VEXEL5_SETTINGS_KEY: seven REG_DWORD values, written with their
 * defaults the first time an encoder is made. Of them the encoder reads
 * QuickCompress: non-zero encodes at the quality level of the settings
 * record (fast), zero at the best quality. The others (access key,
 * viewport, transparency, scalability) are kept for the codec's other
 * clients and change nothing in the frames.
 *
 * The quick-compress settings record (86 or 88 bytes, little-endian):
 *   0  record size (86 or 88)       4  FOURCC "VX50"
 *   8  version (0x00010005)         12 quality level, 1..10
 *   16 key-frame spacing (kept)     20 flags (kept)
 *   76 QuickCompress (0 or 1)
 * The quality level gives the JPEG quality 45 + 5 x level (6: 75). */
#pragma once

#include "platform/com/guid.h"
#include "platform/com/unknown.h"

/* {1F73E9B1-8C3A-11D0-A3BE-00A0C9244436} */
inline constexpr CLSID CLSID_Vexel5Encoder = ksv::com::Guid("1F73E9B1-8C3A-11D0-A3BE-00A0C9244436");

#define VEXEL5_FRIENDLY_NAME "Vexel 5 Video Encoder"
#define VEXEL5_SETTINGS_KEY "Software\\Vexel\\Vexel 5 Video Encoder"
#define VEXEL5_RECORD_SIZE 88
#define VEXEL5_SHORT_RECORD_SIZE 86 /* what some callers write in the size field */
#define VEXEL5_RECORD_FOURCC 0x30355856u /* "VX50" */
#define VEXEL5_VERSION 0x00010005u

struct IVexelEncode : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("665A4441-D905-11D0-A30E-444553540000");
  /* 1. The encoder's version (VEXEL5_VERSION). */
  virtual HRESULT GetVersion(DWORD* version) = 0;
  /* 2. A JPEG quality (1..100) used from now on instead of the settings'
   *    choice; 0 returns to the settings' choice. E_INVALIDARG otherwise. */
  virtual HRESULT SetQuality(LONG quality) = 0;
  /* 3. The JPEG quality the next frame is encoded at. */
  virtual HRESULT GetQuality(LONG* quality) = 0;
  /* 4. Reads the per-user settings again (QuickCompress). */
  virtual HRESULT ReloadSettings() = 0;
  /* 5. Whether quick compression is on (1) or off (0), into a 32-bit
   *    variable. */
  virtual HRESULT GetQuickCompress(DWORD* enabled) = 0;
  /* 6. The settings record now in force, into `size` bytes (at least 86);
   *    its size field says 88. */
  virtual HRESULT GetSettings(BYTE* record, DWORD size) = 0;
  /* 7. Takes a quick-compress settings record: its size field 86 or 88,
   *    its FOURCC "VX50" and a quality level 1..10, else E_INVALIDARG and
   *    nothing changes. Its QuickCompress field overrides the per-user
   *    value until ReloadSettings. */
  virtual HRESULT SetSettings(const BYTE* record) = 0;

 protected:
  ~IVexelEncode() = default;
};

inline constexpr IID IID_IVexelEncode = IVexelEncode::kIid;
