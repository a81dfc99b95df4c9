#include "platform/media/base/media_type.h"

#include <cstring>

CMediaType::CMediaType() : AM_MEDIA_TYPE() { InitMediaType(); }

CMediaType::CMediaType(const GUID* majorType) : AM_MEDIA_TYPE() {
  InitMediaType();
  majortype = *majorType;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& type, HRESULT* result) : AM_MEDIA_TYPE() {
  const HRESULT copied = CopyMediaType(this, &type);
  if (result != nullptr) *result = copied;
}

CMediaType::CMediaType(const CMediaType& type) : AM_MEDIA_TYPE() {
  CopyMediaType(this, &type);
}

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType& CMediaType::operator=(const CMediaType& type) {
  Set(type);
  return *this;
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& type) {
  Set(type);
  return *this;
}

bool CMediaType::operator==(const CMediaType& other) const {
  return majortype == other.majortype && subtype == other.subtype &&
         formattype == other.formattype && cbFormat == other.cbFormat &&
         (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

HRESULT CMediaType::Set(const CMediaType& type) {
  return Set(static_cast<const AM_MEDIA_TYPE&>(type));
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& type) {
  if (&type == this) return S_OK;
  FreeMediaType(*this);
  const HRESULT result = CopyMediaType(this, &type);
  return FAILED(result) ? E_OUTOFMEMORY : S_OK;
}

BOOL CMediaType::IsValid() const { return majortype != GUID_NULL; }

BOOL CMediaType::SetFormat(const BYTE* format, ULONG length) {
  if (length == 0) {
    ResetFormatBuffer();
    return TRUE;
  }
  // `format` may be (part of) our own block, which AllocFormatBuffer frees:
  // copy it first.
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (block == nullptr) return FALSE;
  std::memcpy(block, format, length);
  ResetFormatBuffer();
  pbFormat = block;
  cbFormat = length;
  return TRUE;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  if (length == 0) return nullptr;
  if (cbFormat == length && pbFormat != nullptr) return pbFormat;
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (block == nullptr) return nullptr;
  std::memset(block, 0, length);
  CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
  if (length == 0) return nullptr;
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (block == nullptr) return nullptr;
  std::memset(block, 0, length);
  if (pbFormat != nullptr) std::memcpy(block, pbFormat, cbFormat < length ? cbFormat : length);
  CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

void CMediaType::ResetFormatBuffer() {
  CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
}

void CMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    SetVariableSize();
  } else {
    bFixedSizeSamples = TRUE;
    lSampleSize = size;
  }
}

void CMediaType::InitMediaType() {
  ResetFormatBuffer();
  if (pUnk != nullptr) pUnk->Release();
  majortype = GUID_NULL;
  subtype = GUID_NULL;
  formattype = GUID_NULL;
  pUnk = nullptr;
  lSampleSize = 1;
  bFixedSizeSamples = TRUE;
  bTemporalCompression = FALSE;
}

BOOL CMediaType::IsPartiallySpecified() const {
  return majortype == GUID_NULL || formattype == GUID_NULL;
}

BOOL CMediaType::MatchesPartial(const CMediaType* partial) const {
  if (partial->majortype != GUID_NULL && partial->majortype != majortype) return FALSE;
  if (partial->subtype != GUID_NULL && partial->subtype != subtype) return FALSE;
  if (partial->formattype != GUID_NULL) {
    if (partial->formattype != formattype || partial->cbFormat != cbFormat) return FALSE;
    if (cbFormat != 0 && std::memcmp(partial->pbFormat, pbFormat, cbFormat) != 0) return FALSE;
  }
  return TRUE;
}

GUID GetBitmapSubtype(const BITMAPINFOHEADER* header) {
  if (header->biCompression == BI_RGB) {
    switch (header->biBitCount) {
      case 1: return MEDIASUBTYPE_RGB1;
      case 4: return MEDIASUBTYPE_RGB4;
      case 8: return MEDIASUBTYPE_RGB8;
      case 16: return MEDIASUBTYPE_RGB555;
      case 24: return MEDIASUBTYPE_RGB24;
      case 32: return MEDIASUBTYPE_RGB32;
      default: return GUID_NULL;
    }
  }
  if (header->biCompression == BI_BITFIELDS) {
    if (header->biBitCount == 16) return MEDIASUBTYPE_RGB565;
    if (header->biBitCount == 32) return MEDIASUBTYPE_RGB32;
    return GUID_NULL;
  }
  return FourccSubtype(header->biCompression);
}
