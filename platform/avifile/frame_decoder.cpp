#include "platform/avifile/frame_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/avifile/edit_stream.h"

namespace ksv::avifile {

namespace codecs = media::codecs;

namespace {

constexpr size_t kHeader = sizeof(BITMAPINFOHEADER);

}  // namespace

std::unique_ptr<FrameDecoder> FrameDecoder::Open(IAVIStream* stream, int bitCount) {
  if (stream->info.fccType != streamtypeVIDEO || stream->format.size() < kHeader) return nullptr;
  if (bitCount != 24 && bitCount != 32) return nullptr;
  BITMAPINFOHEADER header;
  std::memcpy(&header, stream->format.data(), kHeader);
  const codecs::VideoCodec* codec = codecs::FindVideoCodec(header.biCompression);
  if (codec == nullptr && header.biCompression != codecs::kBiRgb)
    codec = codecs::FindVideoCodec(stream->info.fccHandler);
  if (codec == nullptr || codec->makeDecoder == nullptr) return nullptr;
  const codecs::PictureFormat picture{
      header.biWidth, std::abs(header.biHeight),
      bitCount == 24 ? codecs::PixelFormat::kRgb24 : codecs::PixelFormat::kRgb32};
  if (codecs::ImageSize(picture) == 0) return nullptr;
  auto decoder =
      codec->makeDecoder(picture.width, picture.height, header.biBitCount, picture.format);
  if (decoder == nullptr) return nullptr;
  std::unique_ptr<FrameDecoder> result(new FrameDecoder(stream, std::move(decoder), picture));
  result->bitCount_ = bitCount;
  result->topDown_ = header.biCompression == codecs::kBiRgb && header.biHeight < 0;
  return result;
}

FrameDecoder::FrameDecoder(IAVIStream* stream, std::unique_ptr<codecs::VideoDecoder> decoder,
                           const codecs::PictureFormat& picture)
    : stream_(stream), decoder_(std::move(decoder)), picture_(picture) {
  Retain(stream_);
  const size_t image = codecs::ImageSize(picture_);
  packed_.assign(kHeader + image, 0);
  BITMAPINFOHEADER header{};
  header.biSize = kHeader;
  header.biWidth = picture_.width;
  header.biHeight = picture_.height;
  header.biPlanes = 1;
  header.biBitCount = picture_.format == codecs::PixelFormat::kRgb24 ? 24 : 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(image);
  std::memcpy(packed_.data(), &header, kHeader);
}

FrameDecoder::~FrameDecoder() { Release(stream_); }

std::span<const uint8_t> FrameDecoder::Pixels() const {
  return {(last_ != nullptr ? last_ : packed_.data()) + kHeader, packed_.size() - kHeader};
}

bool FrameDecoder::DecodeOne(LONG pos) {
  LONG bytes = 0;
  if (stream_->DataSize(pos, 1, &bytes) != AVIERR_OK) return false;
  if (bytes == 0) return true;  // a dropped frame: the picture stays
  chunk_.resize(static_cast<size_t>(bytes));
  if (stream_->ReadData(pos, 1, chunk_.data()) != AVIERR_OK) return false;
  const std::span<uint8_t> output = std::span<uint8_t>(packed_).subspan(kHeader);
  if (decoder_->Decode(chunk_, output) != codecs::CodecResult::kOk) return false;
  if (topDown_ && picture_.height > 1) {
    const size_t row = output.size() / static_cast<size_t>(picture_.height);
    for (size_t top = 0, bottom = static_cast<size_t>(picture_.height) - 1; top < bottom;
         ++top, --bottom) {
      std::swap_ranges(output.begin() + static_cast<std::ptrdiff_t>(top * row),
                       output.begin() + static_cast<std::ptrdiff_t>((top + 1) * row),
                       output.begin() + static_cast<std::ptrdiff_t>(bottom * row));
    }
  }
  return true;
}

const uint8_t* FrameDecoder::Frame(LONG pos) {
  if (pos < stream_->Start() || pos >= stream_->End()) return nullptr;
  if (EditStream* editable = stream_->AsEditable()) {
    LONG at = 0;
    IAVIStream* source = editable->SourceOf(pos, &at);
    auto& decoder = sources_[source];
    if (decoder == nullptr) decoder = Open(source, bitCount_);
    // A source of another picture size would not fit the bitmap promised.
    if (decoder == nullptr || decoder->PackedSize() != packed_.size()) return nullptr;
    last_ = decoder->Frame(at);
    return last_;
  }
  if (pos == decoded_) return last_ = packed_.data();
  LONG from = pos;
  if (!(decoded_ >= 0 && pos == decoded_ + 1)) {
    while (from > stream_->Start() && !stream_->IsKey(from)) --from;
  }
  decoded_ = -1;
  for (LONG at = from; at <= pos; ++at) {
    if (!DecodeOne(at)) return nullptr;
  }
  decoded_ = pos;
  return last_ = packed_.data();
}

}  // namespace ksv::avifile
