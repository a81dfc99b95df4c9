#include "platform/media/registration/filter_data.h"

#include <span>

#include "support/byte_order.h"

namespace ksv::media::registration {
namespace {

constexpr uint32_t kFormat = 2;
// The smallest encoded pin, type and medium: counts bound by these can
// never ask for more entries than the bytes left could hold.
constexpr size_t kGuidSize = 16;
constexpr size_t kMinPinSize = 4 + 4 + 4 + 4 + kGuidSize;
constexpr size_t kTypeSize = 2 * kGuidSize;
constexpr size_t kMediumSize = kGuidSize + 8;

class Writer {
 public:
  void U32(uint32_t value) { support::AppendLe32(bytes_, value); }
  void U16(uint16_t value) { support::AppendLe16(bytes_, value); }
  void Guid(const GUID& guid) {
    U32(guid.Data1);
    U16(guid.Data2);
    U16(guid.Data3);
    for (uint8_t byte : guid.Data4) bytes_.push_back(byte);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

class Reader {
 public:
  Reader(const uint8_t* bytes, size_t size) : bytes_(bytes, size) {}
  size_t Left() const { return bytes_.size() - at_; }
  bool U32(uint32_t* value) {
    if (Left() < 4) return false;
    *value = support::LoadLe32(bytes_, at_);
    at_ += 4;
    return true;
  }
  bool U16(uint16_t* value) {
    if (Left() < 2) return false;
    *value = support::LoadLe16(bytes_, at_);
    at_ += 2;
    return true;
  }
  bool Guid(GUID* guid) {
    if (!U32(&guid->Data1) || !U16(&guid->Data2) || !U16(&guid->Data3) || Left() < 8) return false;
    for (uint8_t& byte : guid->Data4) byte = bytes_[at_++];
    return true;
  }
  // A count whose entries of at least `entrySize` bytes fit in what is left.
  bool Count(size_t entrySize, uint32_t* count) {
    return U32(count) && *count <= Left() / entrySize;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

GUID OrNull(const CLSID* guid) { return guid != nullptr ? *guid : GUID_NULL; }

bool AddTypes(UINT count, const REGPINTYPES* types, PinData* pin) {
  if (count > 0 && types == nullptr) return false;
  for (UINT i = 0; i < count; ++i) {
    pin->types.push_back({OrNull(types[i].clsMajorType), OrNull(types[i].clsMinorType)});
  }
  return true;
}

bool ReadPin(Reader& reader, PinData* pin) {
  uint32_t typeCount = 0, mediumCount = 0;
  if (!reader.U32(&pin->flags) || !reader.U32(&pin->instances)) return false;
  if (!reader.Count(kTypeSize, &typeCount)) return false;
  pin->types.resize(typeCount);
  for (PinType& type : pin->types) {
    if (!reader.Guid(&type.major) || !reader.Guid(&type.subtype)) return false;
  }
  if (!reader.Count(kMediumSize, &mediumCount)) return false;
  pin->mediums.resize(mediumCount);
  for (REGPINMEDIUM& medium : pin->mediums) {
    if (!reader.Guid(&medium.clsMedium) || !reader.U32(&medium.dw1) || !reader.U32(&medium.dw2)) {
      return false;
    }
  }
  return reader.Guid(&pin->category);
}

}  // namespace

std::optional<FilterData> FromRegFilter(const REGFILTER2& record) {
  FilterData data;
  data.merit = record.dwMerit;
  if (record.dwVersion == 1) {
    if (record.cPins > 0 && record.rgPins == nullptr) return std::nullopt;
    for (ULONG i = 0; i < record.cPins; ++i) {
      const REGFILTERPINS& from = record.rgPins[i];
      PinData pin;
      pin.flags = (from.bZero ? REG_PINFLAG_B_ZERO : 0) |
                  (from.bRendered ? REG_PINFLAG_B_RENDERER : 0) |
                  (from.bMany ? REG_PINFLAG_B_MANY : 0) | (from.bOutput ? REG_PINFLAG_B_OUTPUT : 0);
      if (!AddTypes(from.nMediaTypes, from.lpMediaType, &pin)) return std::nullopt;
      data.pins.push_back(std::move(pin));
    }
    return data;
  }
  if (record.dwVersion != 2) return std::nullopt;
  if (record.cPins2 > 0 && record.rgPins2 == nullptr) return std::nullopt;
  for (ULONG i = 0; i < record.cPins2; ++i) {
    const REGFILTERPINS2& from = record.rgPins2[i];
    PinData pin;
    pin.flags = from.dwFlags;
    pin.instances = from.cInstances;
    if (!AddTypes(from.nMediaTypes, from.lpMediaType, &pin)) return std::nullopt;
    if (from.nMediums > 0 && from.lpMedium == nullptr) return std::nullopt;
    pin.mediums.assign(from.lpMedium, from.lpMedium + from.nMediums);
    pin.category = OrNull(from.clsPinCategory);
    data.pins.push_back(std::move(pin));
  }
  return data;
}

std::vector<uint8_t> EncodeFilterData(const FilterData& data) {
  Writer writer;
  writer.U32(kFormat);
  writer.U32(data.merit);
  writer.U32(static_cast<uint32_t>(data.pins.size()));
  for (const PinData& pin : data.pins) {
    writer.U32(pin.flags);
    writer.U32(pin.instances);
    writer.U32(static_cast<uint32_t>(pin.types.size()));
    for (const PinType& type : pin.types) {
      writer.Guid(type.major);
      writer.Guid(type.subtype);
    }
    writer.U32(static_cast<uint32_t>(pin.mediums.size()));
    for (const REGPINMEDIUM& medium : pin.mediums) {
      writer.Guid(medium.clsMedium);
      writer.U32(medium.dw1);
      writer.U32(medium.dw2);
    }
    writer.Guid(pin.category);
  }
  return writer.Take();
}

std::optional<FilterData> DecodeFilterData(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr) return std::nullopt;
  Reader reader(bytes, size);
  uint32_t format = 0, pinCount = 0;
  FilterData data;
  if (!reader.U32(&format) || format != kFormat || !reader.U32(&data.merit)) return std::nullopt;
  if (!reader.Count(kMinPinSize, &pinCount)) return std::nullopt;
  data.pins.resize(pinCount);
  for (PinData& pin : data.pins) {
    if (!ReadPin(reader, &pin)) return std::nullopt;
  }
  if (reader.Left() != 0) return std::nullopt;  // trailing bytes: not ours
  return data;
}

}  // namespace ksv::media::registration
