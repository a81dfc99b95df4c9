// Decodes a video stream's frames into a packed device-independent bitmap
// (a BITMAPINFOHEADER followed by bottom-up RGB rows) through the codec
// table. A frame that depends on earlier ones is decoded from the key frame
// before it, unless the frame just before it was the last one decoded; an
// empty chunk (a dropped frame) repeats the picture before it. An edit
// stream's frames are decoded in the streams they come from, so that a
// range that starts between key frames still decodes from its key frame.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/avifile/avi_objects.h"
#include "platform/media/codecs/video_codec.h"

namespace ksv::avifile {

class FrameDecoder {
 public:
  // Null when `stream` is not video, its format is not a bitmap header, or
  // no codec of the table decodes it into `bitCount` (24 or 32) bits.
  static std::unique_ptr<FrameDecoder> Open(IAVIStream* stream, int bitCount);
  ~FrameDecoder();
  FrameDecoder(const FrameDecoder&) = delete;
  FrameDecoder& operator=(const FrameDecoder&) = delete;

  // The packed bitmap of frame `pos`, valid until the next call; null when
  // the position is outside the stream or the frame cannot be read or
  // decoded.
  const uint8_t* Frame(LONG pos);
  // The pixels of the last frame Frame returned.
  std::span<const uint8_t> Pixels() const;
  const media::codecs::PictureFormat& Picture() const { return picture_; }
  size_t PackedSize() const { return packed_.size(); }

 private:
  FrameDecoder(IAVIStream* stream, std::unique_ptr<media::codecs::VideoDecoder> decoder,
               const media::codecs::PictureFormat& picture);
  // Decodes frame `pos` over the current picture; false on failure.
  bool DecodeOne(LONG pos);

  IAVIStream* stream_;  // holds a reference
  std::unique_ptr<media::codecs::VideoDecoder> decoder_;
  media::codecs::PictureFormat picture_;
  std::vector<uint8_t> packed_;  // header, then the picture
  std::vector<uint8_t> chunk_;
  // Uncompressed frames stored top-down (a negative biHeight): their rows
  // are turned over into the bitmap's bottom-up order.
  bool topDown_ = false;
  LONG decoded_ = -1;  // the frame the picture holds
  int bitCount_ = 24;
  // For an edit stream: a decoder per stream its ranges name.
  std::map<IAVIStream*, std::unique_ptr<FrameDecoder>> sources_;
  const uint8_t* last_ = nullptr;  // the packed bitmap Frame last returned
};

}  // namespace ksv::avifile
