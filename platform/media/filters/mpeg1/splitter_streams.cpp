// The splitter's connection: opening the stream, finding its MPEG video and
// audio streams and describing each in a media type, and the output pins.
#include <string>

#include "platform/media/filters/mpeg1/av_handles.h"
#include "platform/media/filters/mpeg1/mpeg_media_types.h"
#include "platform/media/filters/mpeg1/mpeg_splitter.h"

namespace ksv::media::mpeg1 {
namespace {

// How far into the stream the headers are looked for.
constexpr int kHeaderScanPackets = 2000;
constexpr LONG kVideoBufferSize = 256 * 1024;
constexpr LONG kVideoBufferCount = 4;
constexpr LONG kAudioBufferSize = 8 * 1024;
constexpr LONG kAudioBufferCount = 16;

const char* DemuxerFor(const GUID& subtype) {
  if (subtype == MEDIASUBTYPE_MPEG1System) return "mpeg";
  if (subtype == MEDIASUBTYPE_MPEG1Video) return "mpegvideo";
  if (subtype == MEDIASUBTYPE_MPEG1Audio) return "mp3";  // any MPEG audio layer
  return nullptr;  // video CD: let libavformat recognise the wrapping
}

bool IsVideo(const AVStream* stream) {
  return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
         stream->codecpar->codec_id == AV_CODEC_ID_MPEG1VIDEO;
}

bool IsAudio(const AVStream* stream) {
  const AVCodecID codec = stream->codecpar->codec_id;
  return stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
         (codec == AV_CODEC_ID_MP1 || codec == AV_CODEC_ID_MP2 || codec == AV_CODEC_ID_MP3);
}

}  // namespace

// What the headers said of one stream the splitter gives a pin.
struct MpegSplitter::Stream {
  int index = 0;
  bool video = false;
  bool described = false;
  CMediaType type;
};

HRESULT MpegSplitter::OpenStream(IAsyncReader* reader, const GUID& subtype) {
  CAutoLock lock(&m_csFilter);
  RemoveOutputPins();
  HRESULT result = demuxer_.Open(reader, DemuxerFor(subtype));
  if (FAILED(result)) return result;
  AVFormatContext* format = demuxer_.context();

  std::vector<Stream> streams;
  origins_.assign(format->nb_streams, 0);
  for (unsigned index = 0; index < format->nb_streams; ++index) {
    AVStream* stream = format->streams[index];
    if (format->start_time != AV_NOPTS_VALUE) {
      origins_[index] = av_rescale_q(format->start_time, AV_TIME_BASE_Q, stream->time_base);
    }
    if (!IsVideo(stream) && !IsAudio(stream)) {
      stream->discard = AVDISCARD_ALL;
      continue;
    }
    Stream found;
    found.index = static_cast<int>(index);
    found.video = IsVideo(stream);
    streams.push_back(std::move(found));
  }
  duration_ = format->duration != AV_NOPTS_VALUE
                  ? av_rescale_q(format->duration, AV_TIME_BASE_Q, kReferenceTimeBase)
                  : 0;
  result = MakeOutputPins(streams);
  if (FAILED(result)) {
    RemoveOutputPins();
    demuxer_.Close();
  }
  return result;
}

HRESULT MpegSplitter::MakeOutputPins(std::vector<Stream>& streams) {
  if (streams.empty()) return VFW_E_INVALID_FILE_FORMAT;
  AVFormatContext* format = demuxer_.context();
  PacketPtr packet(av_packet_alloc());
  if (!packet) return E_OUTOFMEMORY;
  // A stream's type comes from its first packets: the video sequence
  // header and time code, the audio frame header.
  size_t left = streams.size();
  for (int read = 0; left > 0 && read < kHeaderScanPackets; ++read) {
    if (av_read_frame(format, packet.get()) < 0) break;
    for (Stream& stream : streams) {
      if (stream.described || stream.index != packet->stream_index) continue;
      const AVStream* avStream = format->streams[stream.index];
      if (stream.video) {
        SequenceHeader header;
        uint32_t timeCode = 0;
        if (FindSequenceHeader(packet->data, static_cast<size_t>(packet->size), &header)) {
          FindGopTimeCode(packet->data, static_cast<size_t>(packet->size), &timeCode);
          const AVRational rate = avStream->avg_frame_rate.num > 0 ? avStream->avg_frame_rate
                                                                   : avStream->r_frame_rate;
          const int64_t frameTime =
              rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), kReferenceTimeBase) : 0;
          stream.described = SUCCEEDED(MakeVideoType(header, timeCode, frameTime, &stream.type));
        }
      } else {
        AudioFrameHeader header;
        if (ParseAudioFrameHeader(packet->data, static_cast<size_t>(packet->size), &header)) {
          const int64_t pts = packet->pts != AV_NOPTS_VALUE
                                  ? av_rescale_q(packet->pts, avStream->time_base, {1, 90000})
                                  : 0;
          stream.described = SUCCEEDED(MakeAudioType(header, pts, &stream.type));
        }
      }
      if (stream.described) --left;
    }
    av_packet_unref(packet.get());
  }

  int videoPins = 0;
  int audioPins = 0;
  for (const Stream& stream : streams) {
    if (!stream.described) continue;
    int& count = stream.video ? videoPins : audioPins;
    std::u16string name = stream.video ? u"Video" : u"Audio";
    if (++count > 1) {
      name += u' ';
      for (char digit : std::to_string(count)) name += static_cast<char16_t>(digit);
    }
    HRESULT result = S_OK;
    auto pin = std::make_unique<SplitterOutputPin>(
        this, &m_csFilter, &result, name.c_str(), stream.index, stream.type,
        stream.video ? kVideoBufferSize : kAudioBufferSize,
        stream.video ? kVideoBufferCount : kAudioBufferCount);
    if (FAILED(result)) return result;
    outputs_.push_back(std::move(pin));
  }
  if (outputs_.empty()) return VFW_E_INVALID_FILE_FORMAT;
  IncrementPinVersion();
  return S_OK;
}

void MpegSplitter::RemoveOutputPins() {
  if (outputs_.empty()) return;
  for (const auto& pin : outputs_) {
    IPin* peer = pin->GetConnected();
    if (peer != nullptr) {
      peer->Disconnect();
      pin->Disconnect();
    }
  }
  for (auto& pin : outputs_) retired_.push_back(std::move(pin));
  outputs_.clear();
  IncrementPinVersion();
}

void MpegSplitter::CloseStream() {
  CAutoLock lock(&m_csFilter);
  RemoveOutputPins();
  demuxer_.Close();
}

}  // namespace ksv::media::mpeg1
