#include "outside/vexel/vexel_settings.h"

#include <algorithm>

#include "include/vexel5.h"
#include "platform/registry/win32_registry.h"
#include "support/byte_order.h"

namespace ksv::vexel {
namespace {

using support::LoadLe32;
using support::StoreLe32;

constexpr int kBestQuality = 95;

}  // namespace

UserSettings DefaultUserSettings() { return UserSettings{}; }

UserSettings LoadUserSettings() {
  UserSettings settings = DefaultUserSettings();
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return settings;
  }
  for (size_t i = 0; i < kSettingNames.size(); ++i) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, kSettingNames[i], nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value) {
      settings.values[i] = value;
      continue;
    }
    value = settings.values[i];
    RegSetValueExA(key, kSettingNames[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
  }
  RegCloseKey(key);
  return settings;
}

std::optional<SettingsRecord> ReadSettingsRecord(const uint8_t* bytes) {
  if (bytes == nullptr) return std::nullopt;
  // The size field says how much there is to read.
  const std::span<const uint8_t> head(bytes, 8);
  const uint32_t size = LoadLe32(head, 0);
  if (size != VEXEL5_RECORD_SIZE && size != VEXEL5_SHORT_RECORD_SIZE) return std::nullopt;
  const std::span<const uint8_t> whole(bytes, size);
  if (LoadLe32(whole, 4) != VEXEL5_RECORD_FOURCC) return std::nullopt;
  SettingsRecord record;
  record.level = LoadLe32(whole, 12);
  record.keyFrameSpacing = LoadLe32(whole, 16);
  record.flags = LoadLe32(whole, 20);
  record.quickCompress = LoadLe32(whole, 76) != 0 ? 1 : 0;
  if (record.level < 1 || record.level > 10) return std::nullopt;
  return record;
}

void WriteSettingsRecord(const SettingsRecord& record, std::span<uint8_t, 88> bytes) {
  std::fill(bytes.begin(), bytes.end(), uint8_t{0});
  StoreLe32(bytes, 0, VEXEL5_RECORD_SIZE);
  StoreLe32(bytes, 4, VEXEL5_RECORD_FOURCC);
  StoreLe32(bytes, 8, VEXEL5_VERSION);
  StoreLe32(bytes, 12, record.level);
  StoreLe32(bytes, 16, record.keyFrameSpacing);
  StoreLe32(bytes, 20, record.flags);
  StoreLe32(bytes, 76, record.quickCompress);
}

int QualityOfLevel(uint32_t level) { return 45 + 5 * static_cast<int>(level); }

int ChosenQuality(bool quickCompress, const SettingsRecord& record) {
  return quickCompress ? QualityOfLevel(record.level) : kBestQuality;
}

}  // namespace ksv::vexel
