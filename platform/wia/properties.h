// The service's item properties as a minidriver writes and reads them: a
// property by identifier or name (PROPSPEC), a typed value (PROPVARIANT,
// with the types the camera's items carry), access attributes, and the
// wias* calls on the service's item context.
#pragma once

#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/unknown.h"
#include "platform/com/vartype.h"

typedef ULONG PROPID;

inline constexpr ULONG PRSPEC_LPWSTR = 0;
inline constexpr ULONG PRSPEC_PROPID = 1;

struct PROPSPEC {
  ULONG ulKind;  // PRSPEC_PROPID or PRSPEC_LPWSTR
  union {
    PROPID propid;
    LPOLESTR lpwstr;
  };
};

inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_CLSID = 72;
inline constexpr VARTYPE VT_VECTOR = 0x1000;

// A counted array of bytes (VT_VECTOR | VT_UI1).
struct CAUB {
  ULONG cElems;
  BYTE* pElems;
};

// A typed value. The caller owns what it points to; the service copies.
struct PROPVARIANT {
  VARTYPE vt;
  WORD wReserved1, wReserved2, wReserved3;
  union {
    LONG lVal;       // VT_I4
    float fltVal;    // VT_R4
    BSTR bstrVal;    // VT_BSTR
    CLSID* puuid;    // VT_CLSID
    CAUB caub;       // VT_VECTOR | VT_UI1
  };
};

// Access flags.
inline constexpr ULONG WIA_PROP_READ = 0x01;
inline constexpr ULONG WIA_PROP_WRITE = 0x02;
inline constexpr ULONG WIA_PROP_RW = WIA_PROP_READ | WIA_PROP_WRITE;
inline constexpr ULONG WIA_PROP_NONE = 0x08;

// What may be written: here only "anything of the type" (WIA_PROP_NONE);
// ranges and lists are not kept.
struct WIA_PROPERTY_INFO {
  ULONG lAccessFlags;
  VARTYPE vt;
  union {
    struct {
      LONG Min, Nom, Max, Inc;
    } Range;
    struct {
      LONG Dummy;
    } None;
  };
};

extern "C" {

// Names the item's properties `ids` (their values empty until written).
HRESULT wiasSetItemPropNames(BYTE* context, LONG count, PROPID* ids, LPOLESTR* names);
// Writes values; a property not yet named is refused (E_INVALIDARG).
HRESULT wiasWriteMultiple(BYTE* context, LONG count, PROPSPEC* specs, PROPVARIANT* values);
HRESULT wiasSetItemPropAttribs(BYTE* context, LONG count, PROPSPEC* specs, WIA_PROPERTY_INFO* infos);
HRESULT wiasWritePropLong(BYTE* context, PROPID id, LONG value);
HRESULT wiasWritePropStr(BYTE* context, PROPID id, BSTR value);
HRESULT wiasWritePropBin(BYTE* context, PROPID id, LONG size, BYTE* value);
HRESULT wiasWritePropFloat(BYTE* context, PROPID id, float value);
// Reads a value (`old`, the value before the last write, is not kept and
// must be null). A missing property: S_FALSE, or E_INVALIDARG when
// `mustExist`; a value of another type: E_INVALIDARG.
HRESULT wiasReadPropLong(BYTE* context, PROPID id, LONG* value, LONG* old, BOOL mustExist);
HRESULT wiasReadPropStr(BYTE* context, PROPID id, BSTR* value, BSTR* old, BOOL mustExist);
HRESULT wiasReadPropGuid(BYTE* context, PROPID id, GUID* value, GUID* old, BOOL mustExist);

}  // extern "C"

struct IWiaMiniDrvCallBack;

// A transfer as the service describes it to the driver, and what
// wiasGetImageInformation fills in for the item's format and media type.
struct MINIDRV_TRANSFER_CONTEXT {
  LONG lSize;  // the size of this structure on this platform
  LONG lWidthInPixels;
  LONG lLines;
  LONG lDepth;
  LONG lXRes;
  LONG lYRes;
  LONG lCompression;
  GUID guidFormatID;
  LONG tymed;
  LONG_PTR hFile;
  LONG cbOffset;
  LONG lBufferSize;
  LONG lActiveBuffer;
  LONG lNumBuffers;
  BYTE* pBaseBuffer;
  BYTE* pTransferBuffer;
  BOOL bTransferDataCB;
  BOOL bClassDrvAllocBuf;
  LONG_PTR lClientAddress;
  IWiaMiniDrvCallBack* pIWiaMiniDrvCallBack;
  LONG lImageSize;
  LONG lHeaderSize;
  LONG lItemSize;
  LONG cbWidthInBytes;
  LONG lPage;
  LONG lCurIfdOffset;
  LONG lPrevIfdOffset;
};

// Media types.
inline constexpr LONG TYMED_FILE = 2;
inline constexpr LONG TYMED_CALLBACK = 128;
// The bitmap file format and the memory bitmap (no file header).
inline constexpr GUID WiaImgFmt_BMP = ksv::com::Guid("B96B3CAB-0728-11D3-9D7B-0000F81EF32E");
inline constexpr GUID WiaImgFmt_MEMORYBMP = ksv::com::Guid("B96B3CAA-0728-11D3-9D7B-0000F81EF32E");

extern "C" {
// Fills `transfer` from the item's properties (Pixels Per Line 4112,
// Number of Lines 4114, Bits Per Pixel 4104, Format 4106, Media Type
// 4108): the row width in bytes, the image, header and item sizes for the
// bitmap or memory-bitmap format. With a transfer buffer that holds it, the
// header is written at its start, as the service prepares file transfers:
// for the bitmap format the 14-byte file header, then for both the
// bitmap information header (rows bottom-up) and, up to 8 bits, a grey
// colour table. E_INVALIDARG for a missing property, a wrong transfer size
// or another format.
HRESULT wiasGetImageInformation(BYTE* context, LONG flags, MINIDRV_TRANSFER_CONTEXT* transfer);
}

// What a driver tells the service during a transfer.
inline constexpr LONG IT_MSG_STATUS = 0x0001;
inline constexpr LONG IT_MSG_DATA = 0x0002;
inline constexpr LONG IT_STATUS_TRANSFER_FROM_DEVICE = 0x0001;
inline constexpr LONG IT_STATUS_PROCESSING_DATA = 0x0002;
inline constexpr LONG IT_STATUS_TRANSFER_TO_CLIENT = 0x0004;

// The service's end of a transfer: status messages, and data messages whose
// bytes lie at the start of the transfer buffer. S_OK goes on; anything
// else stops the transfer.
struct IWiaMiniDrvCallBack : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("33A57D5A-3DE8-11D2-9A36-00C04FA36145");
  virtual HRESULT MiniDrvCallback(LONG reason, LONG status, LONG percentComplete, LONG offset, LONG length,
                                  MINIDRV_TRANSFER_CONTEXT* transfer, LONG reserved) = 0;

 protected:
  ~IWiaMiniDrvCallBack() = default;
};
