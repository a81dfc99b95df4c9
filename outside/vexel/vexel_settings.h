// What the Vexel 5 encoder is told: its per-user settings (seven values
// under the current user's key, defaults written on first use) and the
// quick-compress settings record a client hands it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace ksv::vexel {

// The seven per-user values, in the order clients list them.
inline constexpr std::array<const char*, 7> kSettingNames = {
    "EnabledAccessKey", "AccessKey",    "MinViewportWidth", "MinViewportHeight",
    "Transparency",     "QuickCompress", "Scalability"};

struct UserSettings {
  std::array<uint32_t, 7> values{};  // in kSettingNames' order
  bool QuickCompress() const { return values[5] != 0; }
};

// The defaults written on first use: everything off, QuickCompress too.
UserSettings DefaultUserSettings();

// The current user's settings; a value that is missing (or not a 32-bit
// number) is written with its default first. When the hive cannot be
// written the defaults stand in for what is missing.
UserSettings LoadUserSettings();

struct SettingsRecord {
  uint32_t level = 6;            // quality level, 1..10
  uint32_t keyFrameSpacing = 2;  // kept; every Motion JPEG frame stands alone
  uint32_t flags = 0x80000100;   // kept
  uint32_t quickCompress = 1;
};

// The record at `bytes` (which must hold at least as many bytes as its
// size field says): nothing unless the size is 86 or 88, the FOURCC
// "VX50" and the level 1..10.
std::optional<SettingsRecord> ReadSettingsRecord(const uint8_t* bytes);
// The 88-byte form of `record`, unassigned bytes zero.
void WriteSettingsRecord(const SettingsRecord& record, std::span<uint8_t, 88> bytes);

// The JPEG quality (1..100) of a record's level: 45 + 5 x level.
int QualityOfLevel(uint32_t level);
// What the encoder uses without a quality set by hand: the record's level
// when quick compression is on, else the best.
int ChosenQuality(bool quickCompress, const SettingsRecord& record);

}  // namespace ksv::vexel
