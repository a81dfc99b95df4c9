// An image item's properties: names and defaults, then the values of its
// picture, the sizes the service computes and the thumbnail.
#include <cstring>
#include <iterator>

#include "platform/wia/properties.h"
#include "wia/image_file.h"
#include "wia/thumbnail.h"
#include "wia/usd_device.h"

namespace ksv::wia {

namespace {

constexpr PROPID kDataType = 4103, kBitsPerPixel = 4104, kPixelsPerLine = 4112, kNumberOfLines = 4114,
                 kThumbnailData = 5122, kTimeStamp = 4100, kThumbnailWidthId = 5123, kThumbnailHeightId = 5124,
                 kPreferredFormat = 4105, kItemSize = 4116, kFormat = 4106, kMediaType = 4108,
                 kBytesPerLine = 4113;
constexpr LONG kColour = 3;

enum class Kind { kNumber, kBytes, kGuid };

struct ImageProperty {
  PROPID id;
  const char16_t* name;
  Kind kind;
  LONG value;  // the default of a number
};

constexpr ImageProperty kImageProperties[] = {
    {kDataType, u"Data Type", Kind::kNumber, 2},
    {kBitsPerPixel, u"Bits Per Pixel", Kind::kNumber, 8},
    {kPixelsPerLine, u"Pixels Per Line", Kind::kNumber, 0},
    {kNumberOfLines, u"Number of Lines", Kind::kNumber, 0},
    {kThumbnailData, u"Thumbnail Data", Kind::kBytes, 0},
    {kTimeStamp, u"Item Time Stamp", Kind::kBytes, 0},
    {kThumbnailWidthId, u"Thumbnail Width", Kind::kNumber, 0},
    {kThumbnailHeightId, u"Thumbnail Height", Kind::kNumber, 0},
    {kPreferredFormat, u"Preferred Format", Kind::kGuid, 0},
    {kItemSize, u"Item Size", Kind::kNumber, 0},
    {kFormat, u"Format", Kind::kGuid, 0},
    {kMediaType, u"Media Type", Kind::kNumber, TYMED_FILE},
    {4107, u"Compression", Kind::kNumber, 0},
    {4109, u"Channels Per Pixel", Kind::kNumber, 3},
    {4110, u"Bits Per Channel", Kind::kNumber, 8},
    {4111, u"Planar", Kind::kNumber, 0},
    {kBytesPerLine, u"Bytes Per Line", Kind::kNumber, 0},
    {4102, u"Access Rights", Kind::kNumber, 0x81},  // read, can be deleted
    {4118, u"Buffer Size", Kind::kNumber, 65535},
};
constexpr LONG kImagePropertyCount = static_cast<LONG>(std::size(kImageProperties));

HRESULT WriteDefaults(BYTE* context) {
  PROPID ids[kImagePropertyCount];
  LPOLESTR names[kImagePropertyCount];
  PROPSPEC specs[kImagePropertyCount];
  PROPVARIANT values[kImagePropertyCount];
  std::memset(values, 0, sizeof values);
  GUID format = WiaImgFmt_BMP;
  for (LONG i = 0; i < kImagePropertyCount; ++i) {
    const ImageProperty& property = kImageProperties[i];
    ids[i] = property.id;
    names[i] = const_cast<LPOLESTR>(property.name);
    specs[i].ulKind = PRSPEC_PROPID;
    specs[i].propid = property.id;
    switch (property.kind) {
      case Kind::kNumber:
        values[i].vt = VT_I4;
        values[i].lVal = property.value;
        break;
      case Kind::kBytes:
        values[i].vt = VT_VECTOR | VT_UI1;
        break;
      case Kind::kGuid:
        values[i].vt = VT_CLSID;
        values[i].puuid = &format;
        break;
    }
  }
  HRESULT result = wiasSetItemPropNames(context, kImagePropertyCount, ids, names);
  if (SUCCEEDED(result)) result = wiasWriteMultiple(context, kImagePropertyCount, specs, values);
  return result;
}

HRESULT SetAttributes(BYTE* context) {
  PROPSPEC specs[kImagePropertyCount];
  WIA_PROPERTY_INFO attributes[kImagePropertyCount];
  std::memset(attributes, 0, sizeof attributes);
  for (LONG i = 0; i < kImagePropertyCount; ++i) {
    specs[i].ulKind = PRSPEC_PROPID;
    specs[i].propid = kImageProperties[i].id;
    attributes[i].lAccessFlags = WIA_PROP_READ | WIA_PROP_NONE;
    // An application chooses the format and the media type.
    if (kImageProperties[i].id == kFormat || kImageProperties[i].id == kMediaType) {
      attributes[i].lAccessFlags = WIA_PROP_RW | WIA_PROP_NONE;
    }
    attributes[i].vt = kImageProperties[i].kind == Kind::kNumber   ? VT_I4
                       : kImageProperties[i].kind == Kind::kGuid ? VT_CLSID
                                                                    : VARTYPE(VT_VECTOR | VT_UI1);
  }
  return wiasSetItemPropAttribs(context, kImagePropertyCount, specs, attributes);
}

// The SYSTEMTIME's eight words, little-endian.
std::vector<BYTE> TimeBytes(const SYSTEMTIME& time) {
  const WORD parts[8] = {time.wYear, time.wMonth, time.wDayOfWeek, time.wDay,
                         time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
  std::vector<BYTE> bytes;
  for (WORD part : parts) {
    bytes.push_back(static_cast<BYTE>(part & 0xFF));
    bytes.push_back(static_cast<BYTE>(part >> 8));
  }
  return bytes;
}

}  // namespace

HRESULT InitImageProperties(BYTE* context, const std::string& itemFile) {
  HRESULT result = WriteDefaults(context);
  if (FAILED(result)) return result;
  BitmapFile bitmap;
  if (FAILED(result = bitmap.Open(itemFile))) return result;
  ImageInformation info;
  if (FAILED(result = ReadImageInformation(bitmap.path(), itemFile, &info))) return result;

  std::vector<BYTE> time = TimeBytes(info.time);
  const std::pair<PROPID, LONG> numbers[] = {{kDataType, kColour},
                                             {kBitsPerPixel, info.bitsPerPixel},
                                             {kPixelsPerLine, info.width},
                                             {kNumberOfLines, info.height},
                                             {kThumbnailWidthId, kThumbnailWidth},
                                             {kThumbnailHeightId, kThumbnailHeight},
                                             {kMediaType, TYMED_FILE}};
  for (const auto& [id, value] : numbers) {
    if (FAILED(result = wiasWritePropLong(context, id, value))) return result;
  }
  if (FAILED(result = wiasWritePropBin(context, kTimeStamp, static_cast<LONG>(time.size()), time.data()))) {
    return result;
  }
  // The sizes for the current format and media type, as the service reckons them.
  MINIDRV_TRANSFER_CONTEXT transfer{};
  transfer.lSize = sizeof transfer;
  if (FAILED(result = wiasGetImageInformation(context, 0, &transfer))) return result;
  if (FAILED(result = wiasWritePropLong(context, kItemSize, transfer.lItemSize))) return result;
  if (FAILED(result = wiasWritePropLong(context, kBytesPerLine, transfer.cbWidthInBytes))) return result;

  std::vector<uint8_t> thumbnail;
  if (FAILED(result = MakeThumbnail(bitmap.path(), info, &thumbnail))) return result;
  if (FAILED(result = wiasWritePropBin(context, kThumbnailData, static_cast<LONG>(thumbnail.size()),
                                       thumbnail.data()))) {
    return result;
  }
  // The resolutions, which the item does not list: the service refuses
  // them, as it does any property not named.
  wiasWritePropFloat(context, 6147, 100.0f);
  wiasWritePropFloat(context, 6148, 100.0f);
  return SetAttributes(context);
}

}  // namespace ksv::wia
