// Owning handles for the FFmpeg objects the codecs and the MPEG filters
// keep, so that every way out of a function frees them.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace ksv::media::av {

struct CodecContextFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ParserFree {
  void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScaleFree {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleFree>;

}  // namespace ksv::media::av
