#include "apps/ksvcam/parsers.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <optional>

namespace ksv::ksvcam {
namespace {

std::optional<uint32_t> ParseDimension(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value == 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

void CheckOutputExtension(std::string_view path, std::string_view option, std::string_view what,
                          std::string_view extension) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  std::string given;
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    given = path.substr(dot);
  }
  bool same = given.size() == extension.size();
  for (size_t i = 0; same && i < given.size(); ++i) {
    same = std::tolower(static_cast<unsigned char>(given[i])) == extension[i];
  }
  if (!same) {
    throw UsageError(std::string(option) + " " + Quoted(path) + ": " + std::string(what) +
                     "; give it a " + std::string(extension) + " name");
  }
}

codec::FrameSize ParseFrameSize(std::string_view text) {
  const size_t cross = text.find_first_of("xX");
  if (cross != std::string_view::npos) {
    const auto width = ParseDimension(text.substr(0, cross));
    const auto height = ParseDimension(text.substr(cross + 1));
    if (width && height) return {*width, *height};
  }
  throw UsageError("bad --size " + Quoted(text) + ": expected WIDTHxHEIGHT such as 320x240");
}

std::string SizeText(codec::FrameSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

codec::FrameSize ParseStreamSize(std::string_view text) {
  const codec::FrameSize size = ParseFrameSize(text);
  if (size == codec::FrameSize{320, 240} || size == codec::FrameSize{160, 120}) return size;
  throw UsageError("--size " + std::string(text) +
                   " is not a size the camera streams (320x240 or 160x120)");
}

int32_t ParseWholeNumber(std::string_view text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw UsageError(Quoted(text) + " is not a whole number");
  }
  return value;
}

uint32_t ParseDword(std::string_view text) {
  const std::string digits(text);
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(digits.c_str(), &end, 0);
  if (digits.empty() || end == nullptr || *end != '\0' || errno != 0 || value < INT32_MIN ||
      value > static_cast<long long>(UINT32_MAX)) {
    throw UsageError(Quoted(text) + " is not a 32-bit number (decimal, or 0x... hexadecimal)");
  }
  return static_cast<uint32_t>(value);
}

std::pair<std::string, std::string> ParseAssignment(std::string_view text,
                                                    std::string_view option) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    throw UsageError(std::string(option) + " takes NAME=VALUE, not " + Quoted(text));
  }
  return {std::string(text.substr(0, equals)), std::string(text.substr(equals + 1))};
}

void CheckRate(double rate, std::string_view option) {
  if (!(rate >= 0 && rate <= 1)) throw UsageError(std::string(option) + " is a rate from 0 to 1");
}

}  // namespace ksv::ksvcam
