// The wias* property calls on a service item's properties.
#include <cstring>

#include "platform/com/com_method.h"
#include "platform/com/wide_text.h"
#include "platform/wia/drv_item.h"

namespace {

using ksv::platform::wia::DrvItem;
using ksv::platform::wia::ItemProperty;

DrvItem* ItemOf(BYTE* context) { return reinterpret_cast<DrvItem*>(context); }

ItemProperty* Find(DrvItem* item, PROPID id) {
  for (ItemProperty& property : item->properties()) {
    if (property.id == id) return &property;
  }
  return nullptr;
}

ItemProperty* Find(DrvItem* item, const PROPSPEC& spec) {
  if (spec.ulKind == PRSPEC_PROPID) return Find(item, spec.propid);
  if (spec.ulKind != PRSPEC_LPWSTR || spec.lpwstr == nullptr) return nullptr;
  const std::u16string_view name = ksv::com::WideView(spec.lpwstr);
  for (ItemProperty& property : item->properties()) {
    if (property.name == name) return &property;
  }
  return nullptr;
}

HRESULT Store(ItemProperty& property, const PROPVARIANT& value) {
  switch (value.vt) {
    case VT_I4:
      property.number = value.lVal;
      break;
    case VT_R4:
      property.real = value.fltVal;
      break;
    case VT_BSTR:
      property.text = value.bstrVal != nullptr ? std::u16string(ksv::com::BstrView(value.bstrVal)) : u"";
      break;
    case VT_CLSID:
      if (value.puuid == nullptr) return E_INVALIDARG;
      property.guid = *value.puuid;
      break;
    case VT_VECTOR | VT_UI1:
      if (value.caub.cElems > 0 && value.caub.pElems == nullptr) return E_INVALIDARG;
      property.bytes.assign(value.caub.pElems, value.caub.pElems + value.caub.cElems);
      break;
    default:
      return E_INVALIDARG;
  }
  property.vt = value.vt;
  return S_OK;
}

HRESULT WriteOne(BYTE* context, PROPID id, const PROPVARIANT& value) {
  if (context == nullptr) return E_INVALIDARG;
  ItemProperty* property = Find(ItemOf(context), id);
  return property != nullptr ? Store(*property, value) : E_INVALIDARG;
}

// The property to read, or the answer for a missing one / another type.
HRESULT ReadOne(BYTE* context, PROPID id, VARTYPE vt, BOOL mustExist, const ItemProperty** found) {
  *found = nullptr;
  if (context == nullptr) return E_INVALIDARG;
  const ItemProperty* property = Find(ItemOf(context), id);
  if (property == nullptr || property->vt == VT_EMPTY) return mustExist ? E_INVALIDARG : S_FALSE;
  if (property->vt != vt) return E_INVALIDARG;
  *found = property;
  return S_OK;
}

}  // namespace

extern "C" HRESULT wiasSetItemPropNames(BYTE* context, LONG count, PROPID* ids, LPOLESTR* names) {
  if (context == nullptr || count < 0 || (count > 0 && (ids == nullptr || names == nullptr))) return E_INVALIDARG;
  return ksv::com::ComMethod([&]() -> HRESULT {
    DrvItem* item = ItemOf(context);
    for (LONG i = 0; i < count; ++i) {
      if (names[i] == nullptr) return E_INVALIDARG;
      ItemProperty* property = Find(item, ids[i]);
      if (property == nullptr) {
        item->properties().push_back({});
        property = &item->properties().back();
        property->id = ids[i];
      }
      property->name = ksv::com::WideView(names[i]);
    }
    return S_OK;
  });
}

extern "C" HRESULT wiasWriteMultiple(BYTE* context, LONG count, PROPSPEC* specs, PROPVARIANT* values) {
  if (context == nullptr || count < 0 || (count > 0 && (specs == nullptr || values == nullptr))) return E_INVALIDARG;
  return ksv::com::ComMethod([&]() -> HRESULT {
    for (LONG i = 0; i < count; ++i) {
      ItemProperty* property = Find(ItemOf(context), specs[i]);
      if (property == nullptr) return E_INVALIDARG;
      if (const HRESULT stored = Store(*property, values[i]); FAILED(stored)) return stored;
    }
    return S_OK;
  });
}

extern "C" HRESULT wiasSetItemPropAttribs(BYTE* context, LONG count, PROPSPEC* specs, WIA_PROPERTY_INFO* infos) {
  if (context == nullptr || count < 0 || (count > 0 && (specs == nullptr || infos == nullptr))) return E_INVALIDARG;
  for (LONG i = 0; i < count; ++i) {
    ItemProperty* property = Find(ItemOf(context), specs[i]);
    if (property == nullptr) return E_INVALIDARG;
    property->access = infos[i].lAccessFlags;
  }
  return S_OK;
}

extern "C" HRESULT wiasWritePropLong(BYTE* context, PROPID id, LONG value) {
  PROPVARIANT variant{};
  variant.vt = VT_I4;
  variant.lVal = value;
  return WriteOne(context, id, variant);
}

extern "C" HRESULT wiasWritePropStr(BYTE* context, PROPID id, BSTR value) {
  PROPVARIANT variant{};
  variant.vt = VT_BSTR;
  variant.bstrVal = value;
  return ksv::com::ComMethod([&] { return WriteOne(context, id, variant); });
}

extern "C" HRESULT wiasWritePropBin(BYTE* context, PROPID id, LONG size, BYTE* value) {
  if (size < 0) return E_INVALIDARG;
  PROPVARIANT variant{};
  variant.vt = VT_VECTOR | VT_UI1;
  variant.caub = {static_cast<ULONG>(size), value};
  return ksv::com::ComMethod([&] { return WriteOne(context, id, variant); });
}

extern "C" HRESULT wiasWritePropFloat(BYTE* context, PROPID id, float value) {
  PROPVARIANT variant{};
  variant.vt = VT_R4;
  variant.fltVal = value;
  return WriteOne(context, id, variant);
}

extern "C" HRESULT wiasReadPropLong(BYTE* context, PROPID id, LONG* value, LONG* old, BOOL mustExist) {
  if (value == nullptr || old != nullptr) return E_INVALIDARG;
  const ItemProperty* property = nullptr;
  const HRESULT result = ReadOne(context, id, VT_I4, mustExist, &property);
  if (property != nullptr) *value = property->number;
  return result;
}

extern "C" HRESULT wiasReadPropStr(BYTE* context, PROPID id, BSTR* value, BSTR* old, BOOL mustExist) {
  if (value == nullptr || old != nullptr) return E_INVALIDARG;
  *value = nullptr;
  const ItemProperty* property = nullptr;
  const HRESULT result = ReadOne(context, id, VT_BSTR, mustExist, &property);
  if (property == nullptr) return result;
  *value = SysAllocStringLen(property->text.data(), static_cast<UINT>(property->text.size()));
  return *value != nullptr ? S_OK : E_OUTOFMEMORY;
}

extern "C" HRESULT wiasReadPropGuid(BYTE* context, PROPID id, GUID* value, GUID* old, BOOL mustExist) {
  if (value == nullptr || old != nullptr) return E_INVALIDARG;
  const ItemProperty* property = nullptr;
  const HRESULT result = ReadOne(context, id, VT_CLSID, mustExist, &property);
  if (property != nullptr) *value = property->guid;
  return result;
}

extern "C" HRESULT wiasGetImageInformation(BYTE* context, LONG, MINIDRV_TRANSFER_CONTEXT* transfer) {
  if (context == nullptr || transfer == nullptr || transfer->lSize != sizeof(MINIDRV_TRANSFER_CONTEXT)) {
    return E_INVALIDARG;
  }
  LONG width = 0, lines = 0, depth = 0, tymed = 0;
  GUID format{};
  if (wiasReadPropLong(context, 4112, &width, nullptr, TRUE) != S_OK ||
      wiasReadPropLong(context, 4114, &lines, nullptr, TRUE) != S_OK ||
      wiasReadPropLong(context, 4104, &depth, nullptr, TRUE) != S_OK ||
      wiasReadPropGuid(context, 4106, &format, nullptr, TRUE) != S_OK ||
      wiasReadPropLong(context, 4108, &tymed, nullptr, TRUE) != S_OK) {
    return E_INVALIDARG;
  }
  if (width < 0 || lines < 0 || depth <= 0 || depth > 32) return E_INVALIDARG;
  if (format != WiaImgFmt_BMP && format != WiaImgFmt_MEMORYBMP) return E_INVALIDARG;
  const int64_t rowBytes = ((static_cast<int64_t>(width) * depth + 31) / 8) & ~int64_t{3};
  const int64_t image = rowBytes * lines;
  const int64_t header = 40 + (depth <= 8 ? 4ll << depth : 0) + (format == WiaImgFmt_BMP ? 14 : 0);
  if (image + header > 0x7FFFFFFF) return E_INVALIDARG;
  transfer->lWidthInPixels = width;
  transfer->lLines = lines;
  transfer->lDepth = depth;
  transfer->guidFormatID = format;
  transfer->tymed = tymed;
  transfer->cbWidthInBytes = static_cast<LONG>(rowBytes);
  transfer->lImageSize = static_cast<LONG>(image);
  transfer->lHeaderSize = static_cast<LONG>(header);
  transfer->lItemSize = static_cast<LONG>(image + header);
  if (transfer->pTransferBuffer != nullptr && transfer->lBufferSize >= header) {
    BYTE* at = transfer->pTransferBuffer;
    const auto put = [&at](uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) *at++ = static_cast<BYTE>(value >> (8 * i));
    };
    if (format == WiaImgFmt_BMP) {
      put('B' | 'M' << 8, 2);
      put(static_cast<uint32_t>(image + header), 4);
      put(0, 4);
      put(static_cast<uint32_t>(header), 4);
    }
    const uint32_t colours = depth <= 8 ? 1u << depth : 0;
    put(40, 4);
    put(static_cast<uint32_t>(width), 4);
    put(static_cast<uint32_t>(lines), 4);
    put(1, 2);
    put(static_cast<uint32_t>(depth), 2);
    put(0, 4);  // uncompressed
    put(static_cast<uint32_t>(image), 4);
    put(0, 4);
    put(0, 4);
    put(colours, 4);
    put(0, 4);
    for (uint32_t i = 0; i < colours; ++i) {
      const uint32_t grey = i * 255 / (colours - 1);
      put(grey | grey << 8 | grey << 16, 4);
    }
  }
  return S_OK;
}
