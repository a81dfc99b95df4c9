#include "platform/media/tests/end_to_end/frame_recorder.h"

#include <cstring>

#include "platform/com/guid.h"

namespace ksv::media::testing {
namespace {

constexpr CLSID kRecorderClsid = com::Guid("5C0E7A61-3D2B-4F8E-9A17-6B4D2E8C1F30");

}  // namespace

FrameRecorder::FrameRecorder() : CTransformFilter("Frame recorder", nullptr, kRecorderClsid) {}

HRESULT FrameRecorder::CheckInputType(const CMediaType* input) {
  return *input->Type() == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT FrameRecorder::CheckTransform(const CMediaType* input, const CMediaType* output) {
  return *input == *output ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT FrameRecorder::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = m_pInput->CurrentMediaType();
  return S_OK;
}

HRESULT FrameRecorder::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  const CMediaType& input = m_pInput->CurrentMediaType();
  ULONG size = input.lSampleSize;
  if (size == 0 && input.FormatLength() >= sizeof(VIDEOINFOHEADER)) {
    size = reinterpret_cast<const VIDEOINFOHEADER*>(input.Format())->bmiHeader.biSizeImage;
  }
  if (size == 0) return E_UNEXPECTED;
  if (request->cBuffers < 2) request->cBuffers = 2;
  if (request->cbBuffer < LONG(size)) request->cbBuffer = LONG(size);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < LONG(size) ? E_FAIL : S_OK;
}

HRESULT FrameRecorder::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  input->GetPointer(&from);
  output->GetPointer(&to);
  const LONG length = input->GetActualDataLength();
  if (length > output->GetSize()) return E_FAIL;
  std::memcpy(to, from, size_t(length));
  output->SetActualDataLength(length);
  pending_.assign(from, from + length);
  return S_OK;
}

HRESULT FrameRecorder::Receive(IMediaSample* sample) {
  const HRESULT result = CTransformFilter::Receive(sample);
  if (result == S_OK) {
    std::lock_guard lock(mutex_);
    frames_.push_back(pending_);
  }
  return result;
}

std::vector<std::vector<uint8_t>> FrameRecorder::frames() {
  std::lock_guard lock(mutex_);
  return frames_;
}

}  // namespace ksv::media::testing
