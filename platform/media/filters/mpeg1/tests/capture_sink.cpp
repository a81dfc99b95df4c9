#include "platform/media/filters/mpeg1/tests/capture_sink.h"

#include <algorithm>

namespace ksv::media::mpeg1::testing {
namespace {

constexpr GUID kCaptureSinkClsid = ksv::com::Guid("6E7A0C52-1F4B-4F0B-9D55-0A7C2B1E9D31");

}  // namespace

CaptureSink::CaptureSink(const GUID& major, std::vector<GUID> subtypes, bool keepAllBytes)
    : CBaseRenderer(kCaptureSinkClsid, "capture sink", nullptr, nullptr),
      major_(major),
      subtypes_(std::move(subtypes)),
      keepAllBytes_(keepAllBytes) {}

HRESULT CaptureSink::CheckMediaType(const CMediaType* type) {
  if (*type->Type() != major_) return VFW_E_TYPE_NOT_ACCEPTED;
  const bool known = std::find(subtypes_.begin(), subtypes_.end(), *type->Subtype()) !=
                     subtypes_.end();
  return known ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CaptureSink::SetMediaType(const CMediaType* type) {
  std::lock_guard guard(mutex_);
  type_ = *type;
  return S_OK;
}

HRESULT CaptureSink::DoRenderSample(IMediaSample* sample) {
  REFERENCE_TIME start = -1;
  REFERENCE_TIME stop = -1;
  sample->GetTime(&start, &stop);
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const LONG length = sample->GetActualDataLength();
  std::lock_guard guard(mutex_);
  times_.emplace_back(start, stop);
  if (keepAllBytes_ || times_.size() == 1) bytes_.insert(bytes_.end(), data, data + length);
  byteCount_ += length;
  return S_OK;
}

HRESULT CaptureSink::EndOfStream() {
  endOfStreams_.fetch_add(1);
  return CBaseRenderer::EndOfStream();
}

CMediaType CaptureSink::type() {
  std::lock_guard guard(mutex_);
  return type_;
}

int CaptureSink::samples() {
  std::lock_guard guard(mutex_);
  return static_cast<int>(times_.size());
}

std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> CaptureSink::times() {
  std::lock_guard guard(mutex_);
  return times_;
}

std::vector<uint8_t> CaptureSink::bytes() {
  std::lock_guard guard(mutex_);
  return bytes_;
}

int64_t CaptureSink::byteCount() {
  std::lock_guard guard(mutex_);
  return byteCount_;
}

}  // namespace ksv::media::mpeg1::testing
