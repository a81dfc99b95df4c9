#include "avifix/stream_description.h"

#include "support/byte_order.h"

namespace ksv::avifix {

DescribedStream::~DescribedStream() {
  if (decoder_ != nullptr) AVIStreamGetFrameClose(decoder_);
  if (stream_ != nullptr) AVIStreamRelease(stream_);
}

bool DescribedStream::Describe(PAVISTREAM stream) {
  stream_ = stream;
  if (AVIStreamInfoA(stream_, &info_, sizeof info_) != AVIERR_OK) return false;
  const LONG start = AVIStreamStart(stream_);
  LONG size = 0;
  if (AVIStreamReadFormat(stream_, start, nullptr, &size) != AVIERR_OK || size <= 0) return false;
  format_.resize(size_t(size));
  if (AVIStreamReadFormat(stream_, start, format_.data(), &size) != AVIERR_OK || size <= 0) {
    return false;
  }
  format_.resize(size_t(size));
  if (IsAudio()) format_ = RewriteAudioFormat(std::move(format_));
  if (IsVideo()) decoder_ = AVIStreamGetFrameOpen(stream_, nullptr);
  MakeSaveOptions();
  return true;
}

void DescribedStream::MakeSaveOptions() {
  options_ = AVICOMPRESSOPTIONS{};
  options_.fccType = info_.fccType;
  options_.fccHandler = info_.fccHandler;
  options_.lpFormat = format_.data();
  options_.cbFormat = DWORD(format_.size());
  if (IsVideo()) {
    options_.dwKeyFrameEvery = kKeyFrameEvery;
    options_.dwQuality = kBestQuality;
    options_.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
  } else {
    options_.dwQuality = info_.dwQuality;
    options_.dwFlags = AVICOMPRESSF_VALID;
  }
}

AVICOMPRESSOPTIONS DescribedStream::CopyOptions() const {
  AVICOMPRESSOPTIONS copy = options_;
  copy.dwKeyFrameEvery = 0;
  copy.dwQuality = info_.dwQuality;  // the stream's own: nothing to re-encode for
  copy.dwFlags = AVICOMPRESSF_VALID;
  return copy;
}

std::vector<uint8_t> RewriteAudioFormat(std::vector<uint8_t> format) {
  if (format.size() < 16 || support::LoadLe16(format, 0) != kRewrittenAudioTag) return format;
  format.resize(kRewrittenAudioFormatBytes);
  support::StoreLe16(format, 16, 10);  // extra size
  support::StoreLe16(format, 18, 0x0000);
  support::StoreLe32(format, 20, 0xF7329ACEu);
  support::StoreLe32(format, 24, 0xACDEAEA2u);
  return format;
}

size_t PackedBitmapBytes(const BITMAPINFOHEADER& header) {
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biBitCount == 0) {
    return 0;
  }
  size_t colours = header.biClrUsed;
  if (colours == 0 && header.biBitCount <= 8) colours = size_t{1} << header.biBitCount;
  const uint64_t height = header.biHeight < 0 ? uint64_t(-int64_t(header.biHeight))
                                              : uint64_t(header.biHeight);
  const uint64_t row = (uint64_t(header.biWidth) * header.biBitCount + 31) / 32 * 4;
  const uint64_t image = header.biSizeImage != 0 && header.biCompression != BI_RGB
                             ? header.biSizeImage
                             : row * height;
  return size_t(header.biSize + colours * 4 + image);
}

}  // namespace ksv::avifix
