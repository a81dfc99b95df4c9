#include "platform/avifile/avi_save.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/avifile/frame_decoder.h"
#include "platform/avifile/pending_sink.h"
#include "platform/media/avi/avi_writer.h"

namespace ksv::avifile {

namespace avi = media::avi;
namespace codecs = media::codecs;

namespace {

__extension__ using Wide = __int128;

// A key frame every this many frames when the options do not say.
constexpr DWORD kDefaultKeyFrameEvery = 15;

// Decodes a video stream's frames and compresses them again.
class Recompressor {
 public:
  // The codec and format the frames are saved in, or why not.
  static HRESULT Make(IAVIStream* stream, const AVICOMPRESSOPTIONS& options,
                      std::unique_ptr<Recompressor>* result, DWORD* handler,
                      std::vector<uint8_t>* format) {
    DWORD fourcc = options.fccHandler != 0 ? options.fccHandler : stream->info.fccHandler;
    const codecs::VideoCodec* codec = codecs::FindVideoCodec(fourcc);
    if (codec == nullptr && stream->format.size() >= sizeof(BITMAPINFOHEADER)) {
      // A handler the table does not know: the format's compression may.
      fourcc = reinterpret_cast<const BITMAPINFOHEADER*>(stream->format.data())->biCompression;
      codec = codecs::FindVideoCodec(fourcc);
    }
    if (codec == nullptr || codec->makeEncoder == nullptr) return AVIERR_NOCOMPRESSOR;
    auto decoder = FrameDecoder::Open(stream, 24);
    if (decoder == nullptr) return AVIERR_BADFORMAT;
    const DWORD every = (options.dwFlags & AVICOMPRESSF_KEYFRAMES) != 0
                            ? std::max<DWORD>(options.dwKeyFrameEvery, 1)
                            : kDefaultKeyFrameEvery;
    auto encoder = codec->makeEncoder(decoder->Picture(), static_cast<int>(every));
    if (encoder == nullptr) return AVIERR_COMPRESSOR;
    const int quality = options.dwQuality <= DWORD{codecs::kMaxQuality}
                            ? static_cast<int>(options.dwQuality)
                            : codecs::kDefaultQuality;

    const auto& picture = decoder->Picture();
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(codec->compressedBitCount);
    header.biCompression = codec->fourcc;
    header.biSizeImage = static_cast<DWORD>(codecs::ImageSize(picture));
    format->assign(reinterpret_cast<const uint8_t*>(&header),
                   reinterpret_cast<const uint8_t*>(&header) + sizeof header);
    *handler = codec->fourcc == codecs::kBiRgb ? avi::Fourcc("DIB ") : codec->fourcc;
    result->reset(new Recompressor(std::move(decoder), std::move(encoder), quality, every));
    return AVIERR_OK;
  }

  HRESULT Next(LONG pos, std::span<const uint8_t>* frame, bool* key) {
    if (decoder_->Frame(pos) == nullptr) return AVIERR_FILEREAD;
    size_t written = 0;
    const bool askKey = count_++ % every_ == 0;
    if (encoder_->Encode(decoder_->Pixels(), quality_, askKey, output_, &written, key) !=
        codecs::CodecResult::kOk)
      return AVIERR_COMPRESSOR;
    *frame = std::span<const uint8_t>(output_.data(), written);
    return AVIERR_OK;
  }

 private:
  Recompressor(std::unique_ptr<FrameDecoder> decoder,
               std::unique_ptr<codecs::VideoEncoder> encoder, int quality, DWORD every)
      : decoder_(std::move(decoder)), encoder_(std::move(encoder)), quality_(quality),
        every_(every), output_(encoder_->MaxFrameSize()) {}

  std::unique_ptr<FrameDecoder> decoder_;
  std::unique_ptr<codecs::VideoEncoder> encoder_;
  int quality_;
  DWORD every_;
  uint64_t count_ = 0;
  std::vector<uint8_t> output_;
};

// One stream on its way into the file.
struct Track {
  IAVIStream* stream;
  uint32_t number = 0;
  avi::StreamHeader header;
  std::vector<uint8_t> format;
  std::unique_ptr<Recompressor> recompress;
  LONG next = 0;  // the next sample to write
  std::vector<uint8_t> buffer;

  bool Done() const { return next >= stream->End(); }
};

// How long an audio chunk lasts: one frame of the first video stream, else
// a tenth of a second (seconds = numerator / denominator).
struct Period {
  Wide numerator = 1, denominator = 10;
};

bool Recompresses(const IAVIStream& stream, const AVICOMPRESSOPTIONS* options) {
  if (options == nullptr || (options->dwFlags & AVICOMPRESSF_VALID) == 0) return false;
  if (stream.info.fccType != streamtypeVIDEO) return false;
  if ((options->dwFlags & (AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE)) != 0) return true;
  return options->fccHandler != 0 && options->fccHandler != stream.info.fccHandler;
}

HRESULT Prepare(Track& track, const AVICOMPRESSOPTIONS* options) {
  IAVIStream& stream = *track.stream;
  const AVISTREAMINFOA& info = stream.info;
  if (info.dwRate == 0 || info.dwScale == 0) return AVIERR_BADFORMAT;
  avi::StreamHeader& h = track.header;
  h.type = info.fccType;
  h.handler = info.fccHandler;
  h.flags = info.dwFlags & AVISTREAMINFO_DISABLED;
  h.priority = info.wPriority;
  h.language = info.wLanguage;
  h.scale = info.dwScale;
  h.rate = info.dwRate;
  h.start = info.dwStart;
  h.quality = info.dwQuality;
  h.sampleSize = info.dwSampleSize;
  h.frameLeft = static_cast<int16_t>(info.rcFrame.left);
  h.frameTop = static_cast<int16_t>(info.rcFrame.top);
  h.frameRight = static_cast<int16_t>(info.rcFrame.right);
  h.frameBottom = static_cast<int16_t>(info.rcFrame.bottom);
  track.format = stream.format;
  track.next = stream.Start();
  if (Recompresses(stream, options)) {
    return Recompressor::Make(&stream, *options, &track.recompress, &h.handler, &track.format);
  }
  const bool valid = options != nullptr && (options->dwFlags & AVICOMPRESSF_VALID) != 0;
  if (valid && info.fccType == streamtypeAUDIO && options->lpFormat != nullptr &&
      options->cbFormat != 0) {
    // No conversion: the samples stay as they are, so the format asked for
    // must describe them (the same wave format core); its extra bytes are
    // what the file then stores.
    const auto* asked = static_cast<const uint8_t*>(options->lpFormat);
    constexpr size_t kWaveCore = 16;
    if (options->cbFormat < kWaveCore || stream.format.size() < kWaveCore ||
        std::memcmp(asked, stream.format.data(), kWaveCore) != 0)
      return AVIERR_UNSUPPORTED;
    track.format.assign(asked, asked + options->cbFormat);
  }
  return AVIERR_OK;
}

// When a track's next chunk plays, as seconds = numerator / denominator: a
// chunked stream's next sample, or the start of the period that holds an
// audio track's next sample (so that the sound of frame k, whose first
// sample may lie a fraction of a sample after the frame, comes with it).
struct Time {
  Wide numerator, denominator;
};

Time NextTime(const Track& track, const Period& period) {
  const Wide scale = track.header.scale, rate = track.header.rate;
  if (track.header.sampleSize == 0) return {Wide{track.next} * scale, rate};
  const Wide unit = (Wide{track.next} * scale * period.denominator) / (period.numerator * rate);
  return {unit * period.numerator, period.denominator};
}

// Whether a's next chunk plays before b's (audio first on a tie).
bool Earlier(const Track& a, const Track& b, const Period& period) {
  const Time x = NextTime(a, period), y = NextTime(b, period);
  const Wide left = x.numerator * y.denominator, right = y.numerator * x.denominator;
  if (left != right) return left < right;
  return a.header.sampleSize != 0 && b.header.sampleSize == 0;
}

// The end of the audio chunk starting at track.next: the sample at the
// next period boundary.
LONG UnitEnd(const Track& track, const Period& period) {
  const Wide rate = track.header.rate, scale = track.header.scale;
  // The period that holds `next`, and the sample where it ends.
  const Wide perPeriod = period.numerator * rate;
  const Wide unit = (Wide{track.next} * scale * period.denominator) / perPeriod;
  const Wide end = ((unit + 1) * perPeriod + scale * period.denominator - 1) /
                   (scale * period.denominator);
  return static_cast<LONG>(
      std::clamp<Wide>(end, Wide{track.next} + 1, Wide{track.stream->End()}));
}

HRESULT WriteUnit(Track& track, const Period& period, avi::Writer& writer) {
  IAVIStream& stream = *track.stream;
  const LONG count = stream.Chunked() ? 1 : UnitEnd(track, period) - track.next;
  bool key = true;
  std::span<const uint8_t> data;
  if (track.recompress != nullptr) {
    const HRESULT result = track.recompress->Next(track.next, &data, &key);
    if (result != AVIERR_OK) return result;
  } else {
    LONG bytes = 0;
    HRESULT result = stream.DataSize(track.next, count, &bytes);
    if (result != AVIERR_OK) return result;
    track.buffer.resize(static_cast<size_t>(bytes));
    if (bytes != 0) result = stream.ReadData(track.next, count, track.buffer.data());
    if (result != AVIERR_OK) return result;
    data = track.buffer;
    key = stream.IsKey(track.next);
  }
  if (!writer.WriteChunk(track.number, data.data(), data.size(), key)) return AVIERR_FILEWRITE;
  track.next += count;
  return AVIERR_OK;
}

int Percent(const std::vector<Track>& tracks) {
  Wide done = 0;
  for (const Track& track : tracks) {
    const LONG length = static_cast<LONG>(track.stream->info.dwLength);
    done += length == 0 ? 100 : Wide{track.next - track.stream->Start()} * 100 / length;
  }
  return static_cast<int>(done / static_cast<Wide>(tracks.size()));
}

HRESULT WriteAll(std::vector<Track>& tracks, const Period& period, avi::Writer& writer,
                 AVISAVECALLBACK progress) {
  int reported = 0;
  if (progress != nullptr && progress(0)) return AVIERR_USERABORT;
  for (;;) {
    Track* pick = nullptr;
    for (Track& track : tracks) {
      if (!track.Done() && (pick == nullptr || Earlier(track, *pick, period))) pick = &track;
    }
    if (pick == nullptr) break;
    const HRESULT result = WriteUnit(*pick, period, writer);
    if (result != AVIERR_OK) return result;
    const int percent = Percent(tracks);
    if (percent != reported) {
      reported = percent;
      if (progress != nullptr && progress(percent)) return AVIERR_USERABORT;
    }
  }
  return AVIERR_OK;
}

}  // namespace

HRESULT SaveStreams(const char* path, std::span<IAVIStream* const> streams,
                    std::span<const AVICOMPRESSOPTIONS* const> options,
                    AVISAVECALLBACK progress) {
  if (path == nullptr || streams.empty() || streams.size() > 99) return AVIERR_BADPARAM;
  std::vector<Track> tracks(streams.size());
  Period period;
  avi::MainHeader main;
  bool haveVideo = false;
  for (size_t i = 0; i < streams.size(); ++i) {
    if (streams[i] == nullptr) return AVIERR_BADHANDLE;
    tracks[i].stream = streams[i];
    const HRESULT result = Prepare(tracks[i], i < options.size() ? options[i] : nullptr);
    if (result != AVIERR_OK) return result;
    const auto& format = tracks[i].format;
    if (!haveVideo && tracks[i].header.type == streamtypeVIDEO &&
        format.size() >= sizeof(BITMAPINFOHEADER)) {
      haveVideo = true;
      period = {tracks[i].header.scale, tracks[i].header.rate};
      const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(format.data());
      main.width = static_cast<uint32_t>(header->biWidth);
      main.height = static_cast<uint32_t>(std::abs(header->biHeight));
    }
  }

  PendingSink sink;
  if (!sink.Open(path)) return AVIERR_FILEOPEN;
  avi::WriterOptions writerOptions;
  writerOptions.legacyIndex = true;
  avi::Writer writer(sink, writerOptions);
  for (Track& track : tracks)
    track.number = writer.AddStream(track.header, track.format, track.stream->info.szName);
  if (!writer.Begin(main)) return AVIERR_FILEWRITE;
  const HRESULT result = WriteAll(tracks, period, writer, progress);
  if (result != AVIERR_OK) return result;  // the sink removes its file
  if (!writer.Finish() || !sink.Commit()) return AVIERR_FILEWRITE;
  return AVIERR_OK;
}

}  // namespace ksv::avifile
