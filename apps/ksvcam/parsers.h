// The values people type on the command line, parsed one way everywhere.
// Each throws UsageError naming the option and what it takes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "apps/ksvcam/console.h"
#include "codec/frame_format.h"

namespace ksv::ksvcam {

// "320x240" (or "320X240").
codec::FrameSize ParseFrameSize(std::string_view text);
std::string SizeText(codec::FrameSize size);
// A size the camera streams: 320x240 or 160x120.
codec::FrameSize ParseStreamSize(std::string_view text);

// One of the named choices of `option` ("--format 'x' is not a stream
// format (choose i420, bgr24 or kxjs)").
template <class T>
T ParseChoice(std::string_view text, std::string_view option, std::string_view what,
              std::initializer_list<std::pair<std::string_view, T>> choices) {
  std::string names;
  size_t index = 0;
  for (const auto& [name, value] : choices) {
    if (name == text) return value;
    const bool last = ++index == choices.size();
    names += std::string(index == 1 ? "" : last ? " or " : ", ") + std::string(name);
  }
  throw UsageError(std::string(option) + " " + Quoted(text) + " is not " + std::string(what) +
                   " (choose " + names + ")");
}

// A decimal whole number that fits 32 bits.
int32_t ParseWholeNumber(std::string_view text);
// A 32-bit value: decimal, 0x hexadecimal, or negative down to INT32_MIN.
uint32_t ParseDword(std::string_view text);
// "NAME=VALUE" as `option` takes it.
std::pair<std::string, std::string> ParseAssignment(std::string_view text,
                                                    std::string_view option);
// An output file named for what is written into it: `path`'s extension is
// `extension` (".avi", any letter case), else a UsageError naming it ("-o
// 'x.mp4': record writes an AVI file (.avi)").
void CheckOutputExtension(std::string_view path, std::string_view option, std::string_view what,
                          std::string_view extension);
// A rate from 0 to 1.
void CheckRate(double rate, std::string_view option);

}  // namespace ksv::ksvcam
