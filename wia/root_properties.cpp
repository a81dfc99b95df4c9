// The root item's properties: the device's fixed facts, the current time
// and the root folder.
#include <cstring>
#include <iterator>

#include "platform/com/wide_text.h"
#include "platform/files/files.h"
#include "platform/wia/properties.h"
#include "wia/usd_device.h"

namespace ksv::wia {

namespace {

constexpr PROPID kFirmwareVersion = 1026;
constexpr PROPID kDeviceTime = 1028;
constexpr PROPID kRootPath = 38914;

struct RootProperty {
  PROPID id;
  const char16_t* name;
  LONG value;  // for the numbers
};

// In the order the device names them.
constexpr RootProperty kRootProperties[] = {
    {kFirmwareVersion, u"Firmware Version", 0}, {1027, u"Connect Status", 1}, {kDeviceTime, u"Device Time", 0},
    {2050, u"Pictures Taken", 0},              {2051, u"Pictures Remaining", 0},
    {2066, u"Thumbnail Width", 80},            {2067, u"Thumbnail Height", 60},
    {2068, u"Picture Width", 320},             {2069, u"Picture Height", 240},
    {2052, u"Exposure Mode", 0},               {2056, u"Flash Mode", 1},
    {2057, u"Focus Mode", 0},                  {2059, u"Zoom Position", 0},
    {2065, u"Battery Status", 1},              {2062, u"Timer Mode", 0},
    {2063, u"Timer Value", 0},                 {kRootPath, u"Test Camera Root Path", 0},
};
constexpr LONG kCount = static_cast<LONG>(std::size(kRootProperties));

}  // namespace

HRESULT InitRootProperties(BYTE* context, const std::string& rootFolder) {
  PROPID ids[kCount];
  LPOLESTR names[kCount];
  PROPSPEC specs[kCount];
  PROPVARIANT values[kCount];
  WIA_PROPERTY_INFO attributes[kCount];
  std::memset(values, 0, sizeof values);
  std::memset(attributes, 0, sizeof attributes);
  const BSTR firmware = SysAllocString(u"06212001");
  const BSTR root = com::BstrFromUtf8(rootFolder);
  SYSTEMTIME now{};
  GetSystemTime(&now);
  // The time as the platform's SYSTEMTIME: eight little-endian WORDs.
  const WORD parts[8] = {now.wYear, now.wMonth, now.wDayOfWeek, now.wDay,
                         now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  BYTE time[16];
  for (int i = 0; i < 8; ++i) {
    time[2 * i] = static_cast<BYTE>(parts[i] & 0xFF);
    time[2 * i + 1] = static_cast<BYTE>(parts[i] >> 8);
  }
  for (LONG i = 0; i < kCount; ++i) {
    const RootProperty& property = kRootProperties[i];
    ids[i] = property.id;
    names[i] = const_cast<LPOLESTR>(property.name);
    specs[i].ulKind = PRSPEC_PROPID;
    specs[i].propid = property.id;
    attributes[i].lAccessFlags = WIA_PROP_READ | WIA_PROP_NONE;
    if (property.id == kFirmwareVersion || property.id == kRootPath) {
      values[i].vt = VT_BSTR;
      values[i].bstrVal = property.id == kFirmwareVersion ? firmware : root;
    } else if (property.id == kDeviceTime) {
      values[i].vt = VT_VECTOR | VT_UI1;
      values[i].caub = {sizeof time, time};
    } else {
      values[i].vt = VT_I4;
      values[i].lVal = property.value;
    }
    attributes[i].vt = values[i].vt;
    // The root folder may be changed by an application.
    if (property.id == kRootPath) attributes[i].lAccessFlags = WIA_PROP_RW | WIA_PROP_NONE;
  }
  HRESULT result = firmware != nullptr && root != nullptr ? S_OK : E_OUTOFMEMORY;
  if (SUCCEEDED(result)) result = wiasSetItemPropNames(context, kCount, ids, names);
  if (SUCCEEDED(result)) result = wiasWriteMultiple(context, kCount, specs, values);
  if (SUCCEEDED(result)) result = wiasSetItemPropAttribs(context, kCount, specs, attributes);
  SysFreeString(firmware);
  SysFreeString(root);
  return result;
}

}  // namespace ksv::wia
