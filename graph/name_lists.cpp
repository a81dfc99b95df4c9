// The four process-wide name lists: installed video and audio capture
// devices and video and audio compressors, built on first use. A category
// that cannot be enumerated (or is empty) is tried again on the next call.
#include <array>
#include <cstring>
#include <vector>

#include "support/no_throw.h"
#include "graph/category_monikers.h"
#include "graph/graph_routines.h"

namespace ksv::graph {

namespace {

inline constexpr size_t kSlotBytes = 128;

struct NameList {
  bool built = false;
  std::vector<std::array<char, kSlotBytes>> names;
};

NameList& List(int which) {
  static NameList lists[4];
  return lists[which];
}

enum : int { kVideoDevices, kAudioDevices, kVideoCompressors, kAudioCompressors };

const GUID& CategoryOf(int which) {
  switch (which) {
    case kVideoDevices: return CLSID_VideoInputDeviceCategory;
    case kAudioDevices: return CLSID_AudioInputDeviceCategory;
    case kVideoCompressors: return CLSID_VideoCompressorCategory;
    default: return CLSID_AudioCompressorCategory;
  }
}

// Slots for every moniker whose property bag opens, each holding its
// FriendlyName (empty when that cannot be read).
void Build(NameList& list, REFCLSID category) {
  const com::ComPtr<IEnumMoniker> monikers = EnumerateCategory(category);
  if (!monikers) return;
  std::vector<std::array<char, kSlotBytes>> names;
  IMoniker* next = nullptr;
  while (monikers->Next(1, &next, nullptr) == S_OK) {
    const auto moniker = com::ComPtr<IMoniker>::Adopt(next);
    const com::ComPtr<IPropertyBag> bag = OpenPropertyBag(moniker.Get());
    if (!bag) continue;
    std::array<char, kSlotBytes> slot{};
    ReadFriendlyName(bag.Get(), slot.data(), slot.size());
    names.push_back(slot);
  }
  list.names = std::move(names);
  list.built = true;
}

int32_t Total(int which) {
  NameList& list = List(which);
  if (!list.built) Build(list, CategoryOf(which));
  return int32_t(list.names.size());
}

int32_t Name(int which, int32_t index, char* name) {
  const NameList& list = List(which);
  if (!list.built || name == nullptr || index < 0 || size_t(index) >= list.names.size()) return 0;
  // The name and its zero only: the caller's buffer may be sized to the name.
  const char* slot = list.names[size_t(index)].data();
  const size_t length = ::strnlen(slot, kSlotBytes - 1);
  std::memcpy(name, slot, length);
  name[length] = '\0';
  return 1;
}

}  // namespace

}  // namespace ksv::graph

using namespace ksv::graph;

extern "C" {

KSV_EXPORT int32_t QMG_GetTotalVideoDevice(void) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Total(kVideoDevices);
  });
}
KSV_EXPORT int32_t QMG_GetTotalAudioDevice(void) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Total(kAudioDevices);
  });
}
KSV_EXPORT int32_t QMG_GetTotalVideoCompressor(void) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Total(kVideoCompressors);
  });
}
KSV_EXPORT int32_t QMG_GetTotalAudioCompressor(void) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Total(kAudioCompressors);
  });
}

KSV_EXPORT int32_t QMG_GetVideoDeviceName(int32_t index, char* name) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Name(kVideoDevices, index, name);
  });
}
KSV_EXPORT int32_t QMG_GetAudioDeviceName(int32_t index, char* name) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Name(kAudioDevices, index, name);
  });
}
KSV_EXPORT int32_t QMG_GetVideoCompressorName(int32_t index, char* name) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Name(kVideoCompressors, index, name);
  });
}
KSV_EXPORT int32_t QMG_GetAudioCompressorName(int32_t index, char* name) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return Name(kAudioCompressors, index, name);
  });
}

}  // extern "C"
