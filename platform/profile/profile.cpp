#include "platform/profile/profile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

std::vector<std::string> ReadLines(const char* fileName) {
  std::vector<std::string> lines;
  std::ifstream in(fileName);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "[name]" gives name; other lines nothing.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string text = Trimmed(line);
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
  return Trimmed(std::string_view(text).substr(1, text.size() - 2));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string> KeyOf(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return Trimmed(std::string_view(line).substr(0, equals));
}

std::optional<std::string> FindValue(const char* section, const char* key, const char* fileName) {
  bool inSection = false;
  for (const std::string& line : ReadLines(fileName)) {
    if (const auto name = SectionName(line)) {
      inSection = SameIgnoringCase(*name, section);
    } else if (inSection) {
      const auto lineKey = KeyOf(line);
      if (lineKey && SameIgnoringCase(*lineKey, key)) {
        std::string value = Trimmed(std::string_view(line).substr(line.find('=') + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
          value = value.substr(1, value.size() - 2);
        }
        return value;
      }
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" {

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultText,
                               char* out, DWORD size, const char* fileName) {
  if (out == nullptr || size == 0) return 0;
  std::optional<std::string> value;
  if (section != nullptr && key != nullptr && fileName != nullptr) {
    value = FindValue(section, key, fileName);
  }
  const std::string text = value ? *value : (defaultText != nullptr ? defaultText : "");
  const size_t length = std::min<size_t>(text.size(), size - 1);
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return static_cast<DWORD>(length);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                           const char* fileName) {
  if (section == nullptr || key == nullptr || fileName == nullptr) {
    return static_cast<UINT>(defaultValue);
  }
  const std::optional<std::string> value = FindValue(section, key, fileName);
  if (!value || value->empty()) return static_cast<UINT>(defaultValue);
  return static_cast<UINT>(std::strtol(value->c_str(), nullptr, 10));
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
  if (section == nullptr || fileName == nullptr) return FALSE;
  std::vector<std::string> lines = ReadLines(fileName);
  std::vector<std::string> out;
  bool inSection = false;
  bool sectionSeen = false;
  bool written = false;
  auto addValueHere = [&] {
    if (!written && key != nullptr && value != nullptr) {
      out.push_back(std::string(key) + "=" + value);
    }
    written = true;
  };
  for (const std::string& line : lines) {
    if (const auto name = SectionName(line)) {
      if (inSection) addValueHere();
      inSection = SameIgnoringCase(*name, section);
      sectionSeen = sectionSeen || inSection;
      if (inSection && key == nullptr) continue;  // the section goes
      out.push_back(line);
      continue;
    }
    if (inSection) {
      if (key == nullptr) continue;
      const auto lineKey = KeyOf(line);
      if (lineKey && SameIgnoringCase(*lineKey, key)) {
        addValueHere();
        continue;
      }
    }
    out.push_back(line);
  }
  if (inSection) addValueHere();
  if (!sectionSeen && key != nullptr && value != nullptr) {
    out.push_back(std::string("[") + section + "]");
    out.push_back(std::string(key) + "=" + value);
  }
  std::ofstream file(fileName, std::ios::trunc);
  for (const std::string& line : out) file << line << '\n';
  file.flush();
  return file ? TRUE : FALSE;
}

}  // extern "C"
