// The decoder of the camera's compressed frames.
//
// Two flavours share one engine:
//  - DecoderTables: the driver's decoder for live video frames, which carry a
//    15-byte header with their compression level and data-length bound. It
//    also crops, applies gamma and converts planar pictures to 24-bit.
//  - StoredFrameDecoder: the camera access library's decoder for frames kept
//    in the camera's memory, which have no header and are dequantised with
//    tables loaded by the caller.
//
// Neither object is re-entrant; each allocates all it needs in SetUp() and
// nothing per frame. A decode returns a DecodeResult: true when the picture
// was written, else the cause (codec/decode_result.h). A frame that fails
// gives no bytes written and leaves the output buffer's content undefined.
// A decoder that is not set up is reported before anything else, and the
// entropy data is looked at only when the header, sizes, format and output
// buffer are all acceptable.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "codec/decode_result.h"
#include "codec/frame_format.h"
#include "codec/gamma_tables.h"
#include "codec/quant_tables.h"

namespace ksv::codec {

// Header of a sensor defect table; the driver keeps it empty.
struct DefectTableHeader {
  uint16_t size = 0;
  uint16_t count = 0;
};

// Per-camera decoder settings, kept in the camera's device extension.
struct DecoderContext {
  uint32_t gammaLevel = 0;  // 0..9, 0 leaves the picture unchanged
  DefectTableHeader defectTable;
};

// Stores the gamma level the next frame is decoded with. Levels above 9 are
// refused (returns false, the context keeps its level).
bool SetGammaLevel(DecoderContext& context, uint32_t level);

// The picture sizes the decoders lay out, for checking a request before any
// frame is read: the live decoder's (DecoderTables) and the stored-frame
// decoder's, and every size either lays out. The stored decoder's 24-bit
// layout at width 160 takes any height from 1 to kStoredNarrowMaxHeight.
bool LiveDecoderHasLayout(FrameSize size, OutputCode code);
bool StoredDecoderHasLayout(FrameSize size, OutputCode code);
std::span<const FrameSize> LayoutSizes();
inline constexpr uint32_t kStoredNarrowMaxHeight = 480;

class DecoderEngine;

// The driver's decoder: module-level state built once when the first camera
// starts and released when the last one stops.
class DecoderTables {
 public:
  DecoderTables();
  ~DecoderTables();
  DecoderTables(const DecoderTables&) = delete;
  DecoderTables& operator=(const DecoderTables&) = delete;

  // Allocates the work frames and builds the tables. On failure the decoder
  // stays unusable and every decode fails.
  bool SetUp();
  void Release();
  bool IsReady() const { return engine_ != nullptr; }

  // Decodes one compressed frame (15-byte header, then entropy data; `frame`
  // is all the bytes that may be read) at `decode` size and writes the
  // picture of `output` size into `output` in the format named by the
  // compression code: kCompressionI420/kCompressionIYUV planar, kCompressionRgb
  // 24-bit B, G, R. A smaller output size is a centre crop of the decoded
  // picture. Fails when the output buffer is too small for the picture.
  DecodeResult DecodeFrame(const DecoderContext& context, std::span<const uint8_t> frame,
                           std::span<uint8_t> output, uint32_t& bytesWritten, FrameSize decode,
                           FrameSize outputSize, uint32_t compression);

  // Lower-level entry for the 24-bit R, G, B order (output code 2) and for
  // tools: decode straight to `code` at `size` without crop or gamma.
  DecodeResult DecodeDirect(std::span<const uint8_t> frame, std::span<uint8_t> output,
                            uint32_t& bytesWritten, FrameSize size, OutputCode code);

 private:
  DecodeResult SelectLevel(uint8_t level);

  std::unique_ptr<DecoderEngine> engine_;
  int currentLevel_ = -1;  // none
};

// The camera access library's decoder for stored frames.
class StoredFrameDecoder {
 public:
  StoredFrameDecoder();
  ~StoredFrameDecoder();
  StoredFrameDecoder(const StoredFrameDecoder&) = delete;
  StoredFrameDecoder& operator=(const StoredFrameDecoder&) = delete;

  bool SetUp();
  void Release();
  bool IsReady() const { return engine_ != nullptr; }

  // Chooses the picture size and output code of the next decodes. Planar
  // output takes 160 x 112, 176 x 144, 320 x 240, 352 x 288 and 640 x 480;
  // 24-bit output takes width 160 at the caller's height (1 to 480: the
  // decoder reads height/16 macroblock rows, rounded up, and keeps the top
  // `height` picture rows), and 176 x 144, 320 x 240, 352 x 288, 640 x 480
  // and 1024 x 768. Returns false for any other.
  bool Prepare(FrameSize size, OutputCode code);

  // Loads a built-in quantisation pair (0..7, see LibraryBuiltInPair).
  void SelectQuantPair(int pair);
  // Loads a stored 128-byte table (64 luminance, 64 chrominance entries) over
  // the current pair.
  void LoadQuantTable(std::span<const uint8_t, 128> table);

  // Decodes entropy data that starts at data[0]. `dataLength` is the frame's
  // data-length bound; the decoder never reads past `data` either way.
  DecodeResult Decode(std::span<const uint8_t> data, uint32_t dataLength,
                      std::span<uint8_t> output, uint32_t& bytesWritten);
  DecodeResult Decode(std::span<const uint8_t> data, std::span<uint8_t> output,
                      uint32_t& bytesWritten) {
    return Decode(data, static_cast<uint32_t>(data.size()), output, bytesWritten);
  }

 private:
  std::unique_ptr<DecoderEngine> engine_;
  FrameSize size_{};
  OutputCode code_ = OutputCode::kBgr24;
  // What the next Decode() meets before any frame: success once Prepare()
  // has taken a size.
  DecodeResult readiness_ = DecodeError::kNotSetUp;
};

// One kind of frame decoded as often as needed, as a tool decodes: live
// frames (15-byte header) through the driver's decoder at a size, output code
// and gamma level (R, G, B output through its direct path, without gamma);
// or stored frames (no header) through the stored-frame decoder with the
// frame's own quantisation table.
class FrameDecoder {
 public:
  struct Request {
    FrameSize size;
    OutputCode code = OutputCode::kBgr24;
    uint32_t gamma = 0;  // live frames only
    // Stored frames when set: 64 luminance, then 64 chrominance entries.
    std::optional<std::array<uint8_t, 128>> storedTable;
  };

  // False when out of memory, or when the request names a gamma level or a
  // stored layout the decoders do not have.
  bool SetUp(const Request& request);

  size_t PictureBytes() const { return OutputBytes(request_.size, request_.code); }
  // Decodes `frame` into `output`, resized to the picture's bytes.
  DecodeResult Decode(std::span<const uint8_t> frame, std::vector<uint8_t>& output);

 private:
  Request request_;
  DecoderContext context_;
  DecoderTables live_;
  StoredFrameDecoder stored_;
};

}  // namespace ksv::codec
