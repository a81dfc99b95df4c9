#include "codec/decode_result.h"

namespace ksv::codec {

std::string_view DecodeErrorText(DecodeError error) {
  switch (error) {
    case DecodeError::kNotSetUp:
      return "the decoder is not set up";
    case DecodeError::kDataEndsEarly:
      return "the frame's data ends before the picture is complete";
    case DecodeError::kCorruptEntropyData:
      return "the frame's entropy-coded data is corrupt";
    case DecodeError::kSizeNotSupported:
      return "the decoder does not support this picture size";
    case DecodeError::kFormatNotSupported:
      return "the decoder does not support this output format";
    case DecodeError::kLevelNotSupported:
      return "the frame's compression level is not 0 to 3";
    case DecodeError::kOutputTooSmall:
      return "the output buffer is too small for the picture";
  }
  return "unknown decoding error";
}

}  // namespace ksv::codec
