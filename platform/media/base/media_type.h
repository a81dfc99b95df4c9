// CMediaType: an AM_MEDIA_TYPE that owns its format block, with the
// helpers filters use to build and compare types.
#pragma once

#include "platform/media/formats.h"
#include "platform/media/media_guids.h"
#include "platform/media/media_types.h"

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  explicit CMediaType(const GUID* majorType);
  // A deep copy; *result gets E_OUTOFMEMORY when the block could not be copied.
  CMediaType(const AM_MEDIA_TYPE& type, HRESULT* result = nullptr);  // NOLINT
  CMediaType(const CMediaType& type);
  ~CMediaType();

  CMediaType& operator=(const CMediaType& type);
  CMediaType& operator=(const AM_MEDIA_TYPE& type);
  // Same major type, subtype, format type and format block.
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }

  HRESULT Set(const CMediaType& type);
  HRESULT Set(const AM_MEDIA_TYPE& type);
  // A major type is set.
  BOOL IsValid() const;

  const GUID* Type() const { return &majortype; }
  void SetType(const GUID* type) { majortype = *type; }
  const GUID* Subtype() const { return &subtype; }
  void SetSubtype(const GUID* type) { subtype = *type; }
  const GUID* FormatType() const { return &formattype; }
  void SetFormatType(const GUID* type) { formattype = *type; }

  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  // Copies `length` bytes into a format block of that size.
  BOOL SetFormat(const BYTE* format, ULONG length);
  // A format block of `length` bytes (the old one kept when it is that
  // size already, else replaced, zero-filled); null when memory runs out.
  BYTE* AllocFormatBuffer(ULONG length);
  // Resizes the block keeping its leading bytes.
  BYTE* ReallocFormatBuffer(ULONG length);
  void ResetFormatBuffer();

  // 0 means variable-size samples.
  void SetSampleSize(ULONG size);
  void SetVariableSize() { bFixedSizeSamples = FALSE; }
  void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }
  BOOL IsFixedSize() const { return bFixedSizeSamples; }
  BOOL IsTemporalCompressed() const { return bTemporalCompression; }
  ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }

  // Back to the empty type (fixed-size samples of 1 byte, no format).
  void InitMediaType();
  // Major type or format type left open (GUID_NULL).
  BOOL IsPartiallySpecified() const;
  // Every part `partial` sets (major type, subtype, format type with its
  // block) equals ours.
  BOOL MatchesPartial(const CMediaType* partial) const;
};

// The RGB subtype of an uncompressed bitmap header (BI_RGB by bit count,
// BI_BITFIELDS 16 and 32 bit), or the FOURCC subtype of a compressed one;
// GUID_NULL for a bit count no subtype names.
GUID GetBitmapSubtype(const BITMAPINFOHEADER* header);

inline constexpr DWORD BI_BITFIELDS = 3;
