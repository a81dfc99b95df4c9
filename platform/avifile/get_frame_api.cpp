// The frame-decoding calls.
#include <cstdlib>

#include "platform/avifile/frame_decoder.h"

struct IGetFrame {
  std::unique_ptr<ksv::avifile::FrameDecoder> decoder;
};

extern "C" {

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pstream, BITMAPINFOHEADER* wanted) {
  if (pstream == nullptr) return nullptr;
  const bool best = wanted == reinterpret_cast<BITMAPINFOHEADER*>(AVIGETFRAMEF_BESTDISPLAYFMT);
  const bool chosen = wanted != nullptr && !best;
  // Only uncompressed RGB of the stream's own size is made.
  if (chosen && wanted->biCompression != BI_RGB) return nullptr;
  auto decoder = ksv::avifile::FrameDecoder::Open(pstream, chosen ? wanted->biBitCount : 24);
  if (decoder == nullptr) return nullptr;
  const auto& picture = decoder->Picture();
  if (chosen && ((wanted->biWidth != 0 && wanted->biWidth != picture.width) ||
                 (wanted->biHeight != 0 && std::abs(wanted->biHeight) != picture.height)))
    return nullptr;
  return new IGetFrame{std::move(decoder)};
}

LPVOID AVIStreamGetFrame(PGETFRAME getFrame, LONG pos) {
  if (getFrame == nullptr) return nullptr;
  return const_cast<uint8_t*>(getFrame->decoder->Frame(pos));
}

HRESULT AVIStreamGetFrameClose(PGETFRAME getFrame) {
  if (getFrame == nullptr) return AVIERR_BADHANDLE;
  delete getFrame;
  return AVIERR_OK;
}

}  // extern "C"
