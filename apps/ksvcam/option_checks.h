// Checks of option values that CLI11 words poorly: its PositiveNumber
// refuses 0 with a range whose upper end is a 309-digit number.
#pragma once

#include <CLI/CLI.hpp>
#include <cmath>
#include <string>

namespace ksv::ksvcam {

// A number above 0 ("--seconds: must be above 0").
inline CLI::Validator AboveZero() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0;
        if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value)) {
          return "'" + text + "' is not a number";
        }
        return value > 0 ? std::string() : "must be above 0";
      },
      "", "");
}

}  // namespace ksv::ksvcam
