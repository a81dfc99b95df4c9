// Why a frame did not decode, as a value: the decoders return a DecodeResult
// that tests as true when the picture was written and otherwise names the
// cause. Making one allocates nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ksv::codec {

enum class DecodeError : uint8_t {
  kNotSetUp,            // SetUp() failed or was not called, or no Prepare() succeeded
  kDataEndsEarly,       // the header or the entropy data (within its data-length bound) ends
                        // before the last macroblock
  kCorruptEntropyData,  // a code no Huffman table holds, or a run past the end of a block
  kSizeNotSupported,    // no layout for the picture size, or an output size that is not
                        // an even-sided crop of it
  kFormatNotSupported,  // an output compression code other than I420, IYUV or 24-bit
  kLevelNotSupported,   // a compression level in the header above 3
  kOutputTooSmall,      // the output buffer cannot hold the picture
};

// A short sentence for a person: "the frame's data ends before the picture is
// complete".
std::string_view DecodeErrorText(DecodeError error);

class DecodeResult {
 public:
  // Success.
  constexpr DecodeResult() = default;
  // Failure for `error`; implicit so that a decoder can `return DecodeError::k...`.
  constexpr DecodeResult(DecodeError error) : error_(error) {}

  constexpr bool ok() const { return !error_.has_value(); }
  constexpr explicit operator bool() const { return ok(); }
  // The cause of a failure; only for a result that is not ok().
  constexpr DecodeError error() const { return *error_; }

 private:
  std::optional<DecodeError> error_;
};

}  // namespace ksv::codec
