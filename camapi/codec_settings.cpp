#include "camapi/codec_settings.h"

#include "include/vexel5.h"
#include "platform/registry/win32_registry.h"

namespace ksv::camapi {

const std::array<const char*, CodecSettingsOverride::kValueCount> CodecSettingsOverride::kNames = {
    "EnabledAccessKey", "AccessKey",    "MinViewportWidth", "MinViewportHeight",
    "Transparency",     "QuickCompress", "Scalability"};

namespace {

// What the clip graph wants, in the order of kNames.
constexpr std::array<DWORD, CodecSettingsOverride::kValueCount> kClipValues = {0, 0, 0, 0, 1, 1, 1};

bool ReadAll(std::array<DWORD, CodecSettingsOverride::kValueCount>& values) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  bool all = true;
  for (size_t i = 0; i < values.size() && all; ++i) {
    DWORD type = 0, size = sizeof(DWORD);
    all = RegQueryValueExA(key, CodecSettingsOverride::kNames[i], nullptr, &type,
                           reinterpret_cast<BYTE*>(&values[i]), &size) == ERROR_SUCCESS &&
          type == REG_DWORD && size == sizeof(DWORD);
  }
  RegCloseKey(key);
  return all;
}

void WriteAll(const std::array<DWORD, CodecSettingsOverride::kValueCount>& values) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, KEY_WRITE, &key) != ERROR_SUCCESS &&
      RegCreateKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  for (size_t i = 0; i < values.size(); ++i) {
    RegSetValueExA(key, CodecSettingsOverride::kNames[i], 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&values[i]), sizeof(DWORD));
  }
  RegCloseKey(key);
}

}  // namespace

CodecSettingsOverride::CodecSettingsOverride() {
  if (!ReadAll(saved_)) return;
  overridden_ = true;
  WriteAll(kClipValues);
}

CodecSettingsOverride::~CodecSettingsOverride() { Restore(); }

void CodecSettingsOverride::Restore() {
  if (!overridden_) return;
  overridden_ = false;
  WriteAll(saved_);
}

}  // namespace ksv::camapi
