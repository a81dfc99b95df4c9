#include "platform/media/filters/mpeg1/video_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/media/filter_ids.h"
#include "platform/media/filters/mpeg1/mpeg1_setup.h"

namespace ksv::media::mpeg1 {
namespace {

constexpr int64_t kDefaultFrameTime = 400'000;  // 25 frames a second
constexpr LONG kOutputBuffers = 2;

// Rows of a DIB are padded to whole 4-byte words.
int DibStride(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }

int BitCountOf(const GUID& subtype) {
  if (subtype == MEDIASUBTYPE_RGB24) return 24;
  if (subtype == MEDIASUBTYPE_RGB32) return 32;
  return 0;
}

}  // namespace

MpegVideoDecoder::MpegVideoDecoder(LPUNKNOWN outer, HRESULT* result)
    : MpegDecoderFilter("MPEG Video Decoder", outer, CLSID_CMpegVideoCodec) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* MpegVideoDecoder::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = S_OK;
  auto* filter = new (std::nothrow) MpegVideoDecoder(outer, result);
  if (filter == nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

const AMOVIESETUP_FILTER* MpegVideoDecoder::GetSetupData() { return &kVideoDecoderSetup; }

HRESULT MpegVideoDecoder::CheckInputType(const CMediaType* input) {
  VideoFormat format;
  return ReadVideoFormat(*input, &format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MpegVideoDecoder::CheckTransform(const CMediaType* input, const CMediaType* output) {
  VideoFormat format;
  if (!ReadVideoFormat(*input, &format)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (*output->Type() != MEDIATYPE_Video || *output->FormatType() != FORMAT_VideoInfo) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const int bitCount = BitCountOf(*output->Subtype());
  if (bitCount == 0 || output->FormatLength() < sizeof(VIDEOINFOHEADER)) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const BITMAPINFOHEADER* bitmap = HEADER(output->Format());
  const LONG height = bitmap->biHeight < 0 ? -bitmap->biHeight : bitmap->biHeight;
  if (bitmap->biWidth != format.width || height != format.height ||
      bitmap->biBitCount != bitCount || bitmap->biCompression != BI_RGB) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT MpegVideoDecoder::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 1) return VFW_S_NO_MORE_ITEMS;
  VideoFormat format;
  if (!ReadVideoFormat(m_pInput->CurrentMediaType(), &format)) return E_UNEXPECTED;
  const int bitCount = position == 0 ? 24 : 32;
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = format.frameTime;
  BITMAPINFOHEADER& bitmap = info.bmiHeader;
  bitmap.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.biWidth = format.width;
  bitmap.biHeight = format.height;  // positive: bottom-up
  bitmap.biPlanes = 1;
  bitmap.biBitCount = static_cast<WORD>(bitCount);
  bitmap.biCompression = BI_RGB;
  bitmap.biSizeImage = static_cast<DWORD>(DibStride(format.width, bitCount) * format.height);
  info.dwBitRate = static_cast<DWORD>(
      std::min<int64_t>(int64_t{bitmap.biSizeImage} * 8 * 10'000'000 /
                            (format.frameTime > 0 ? format.frameTime : kDefaultFrameTime),
                        0xFFFFFFFF));
  type->InitMediaType();
  if (!type->SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof info)) return E_OUTOFMEMORY;
  type->SetType(&MEDIATYPE_Video);
  type->SetSubtype(position == 0 ? &MEDIASUBTYPE_RGB24 : &MEDIASUBTYPE_RGB32);
  type->SetFormatType(&FORMAT_VideoInfo);
  type->SetTemporalCompression(FALSE);
  type->SetSampleSize(bitmap.biSizeImage);
  return S_OK;
}

HRESULT MpegVideoDecoder::DecideBufferSize(IMemAllocator* allocator,
                                           ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = std::max(request->cBuffers, kOutputBuffers);
  request->cbBuffer = std::max(request->cbBuffer, imageSize_);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer >= imageSize_ && actual.cBuffers >= 1 ? S_OK : E_FAIL;
}

HRESULT MpegVideoDecoder::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  if (direction == PINDIR_INPUT) {
    VideoFormat format;
    if (!ReadVideoFormat(*type, &format)) return VFW_E_TYPE_NOT_ACCEPTED;
    const HRESULT result = decoder_.Open(AV_CODEC_ID_MPEG1VIDEO, format.sequenceHeader,
                                         format.sequenceHeaderSize);
    if (FAILED(result)) return result;
    input_ = format;
    input_.sequenceHeader = nullptr;
    packetInput_ = *type->Subtype() == MEDIASUBTYPE_MPEG1Packet;
    return S_OK;
  }
  const BITMAPINFOHEADER* bitmap = HEADER(type->Format());
  const int bitCount = BitCountOf(*type->Subtype());
  outputFormat_ = bitCount == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;
  outputStride_ = DibStride(input_.width, bitCount);
  topDown_ = bitmap->biHeight < 0;
  imageSize_ = outputStride_ * input_.height;
  // The converter is made once for the connection; a decoded picture of
  // another size or format (not expected) makes it anew.
  scale_.reset(sws_getContext(input_.width, input_.height, AV_PIX_FMT_YUV420P, input_.width,
                              input_.height, outputFormat_, SWS_BICUBIC, nullptr, nullptr,
                              nullptr));
  return scale_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT MpegVideoDecoder::BreakConnect(PIN_DIRECTION direction) {
  if (direction == PINDIR_INPUT) {
    decoder_.Close();
  } else {
    scale_.reset();
  }
  return S_OK;
}

HRESULT MpegVideoDecoder::OnFrame(AVFrame* frame) {
  IMediaSample* sample = nullptr;
  HRESULT result = GetOutputBuffer(&sample);
  if (FAILED(result)) return result;
  BYTE* buffer = nullptr;
  sample->GetPointer(&buffer);
  if (sample->GetSize() < imageSize_ || buffer == nullptr) {
    sample->Release();
    return E_FAIL;
  }
  scale_.reset(sws_getCachedContext(scale_.release(), frame->width, frame->height,
                                    static_cast<AVPixelFormat>(frame->format), input_.width,
                                    input_.height, outputFormat_, SWS_BICUBIC, nullptr, nullptr,
                                    nullptr));
  if (!scale_) {
    sample->Release();
    return E_OUTOFMEMORY;
  }
  // Bottom-up: the first row of the picture is the last row of the buffer.
  uint8_t* planes[4] = {buffer, nullptr, nullptr, nullptr};
  int strides[4] = {outputStride_, 0, 0, 0};
  if (!topDown_) {
    planes[0] = buffer + static_cast<ptrdiff_t>(outputStride_) * (input_.height - 1);
    strides[0] = -outputStride_;
  }
  sws_scale(scale_.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);

  const int64_t frameTime = input_.frameTime > 0 ? input_.frameTime : kDefaultFrameTime;
  REFERENCE_TIME start = frame->pts != AV_NOPTS_VALUE ? frame->pts : nextTime_;
  REFERENCE_TIME stop = start + frameTime;
  nextTime_ = stop;
  sample->SetTime(&start, &stop);
  sample->SetActualDataLength(imageSize_);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(TakeDiscontinuity());
  return DeliverOutput(sample);
}

}  // namespace ksv::media::mpeg1
