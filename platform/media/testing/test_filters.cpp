#include "platform/media/testing/test_filters.h"

#include <cstring>
#include <fstream>

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/media/testing/test_filter_ids.h"
#include "support/byte_order.h"

namespace ksv::media::testing {

CMediaType TestStreamType(const GUID& subtype) {
  CMediaType type(&MEDIATYPE_Video);
  type.SetSubtype(&subtype);
  type.SetSampleSize(kTestSampleBytes);
  return type;
}

namespace {

HRESULT CopyToTaskMemory(const std::u16string& text, LPOLESTR* copy) {
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  *copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (*copy == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*copy, text.c_str(), bytes);
  return S_OK;
}

}  // namespace

// ---- TestSource

TestSource::TestSource()
    : HarnessSource("KSV test source", kTestSourceClsid, u"Output", kTestSourceDefaultSamples) {
  bufferSize = kTestSampleBytes;
}

CUnknown* TestSource::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
  return outer != nullptr ? nullptr : new TestSource();
}

HRESULT TestSource::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IFileSourceFilter) {
    return GetInterface(static_cast<IFileSourceFilter*>(this), object);
  }
  return HarnessSource::NonDelegatingQueryInterface(iid, object);
}

HRESULT TestSource::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* /*type*/) {
  if (fileName == nullptr) return E_POINTER;
  const std::u16string name(fileName);
  if (name.empty() || name.size() > 9) return E_INVALIDARG;
  LONG samples = 0;
  for (const char16_t digit : name) {
    if (digit < u'0' || digit > u'9') return E_INVALIDARG;
    samples = samples * 10 + (digit - u'0');
  }
  CAutoLock guard(pStateLock());
  count = samples;
  fileName_ = name;
  return S_OK;
}

HRESULT TestSource::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
  if (fileName == nullptr) return E_POINTER;
  CAutoLock guard(pStateLock());
  if (type != nullptr) *type = AM_MEDIA_TYPE{};
  if (fileName_.empty()) {
    *fileName = nullptr;
    return S_OK;
  }
  return CopyToTaskMemory(fileName_, fileName);
}

CMediaType TestSource::StreamType() { return TestStreamType(kTestSubtypeA); }

HRESULT TestSource::Fill(IMediaSample* sample, int64_t index) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || sample->GetSize() < kTestSampleBytes) return E_FAIL;
  const auto number = static_cast<uint32_t>(index);
  support::StoreLe32({data, static_cast<size_t>(kTestSampleBytes)}, 0, number);
  sample->SetActualDataLength(kTestSampleBytes);
  sample->SetSyncPoint(TRUE);
  return S_OK;
}

// ---- TestConverter

TestConverter::TestConverter(REFCLSID clsid, const GUID& output)
    : HarnessTransform("KSV test converter", clsid), output_(output) {
  bufferSize = kTestSampleBytes;
}

HRESULT TestConverter::CheckInputType(const CMediaType* input) {
  return *input->Type() == MEDIATYPE_Video && *input->Subtype() == kTestSubtypeA
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestConverter::CheckTransform(const CMediaType* input, const CMediaType* output) {
  if (FAILED(CheckInputType(input))) return VFW_E_TYPE_NOT_ACCEPTED;
  return *output->Type() == MEDIATYPE_Video && *output->Subtype() == output_
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestConverter::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = TestStreamType(output_);
  return S_OK;
}

// ---- TestSink

TestSink::TestSink() : HarnessRenderer(kTestSinkClsid, "KSV test sink") {}

CUnknown* TestSink::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
  return outer != nullptr ? nullptr : new TestSink();
}

HRESULT TestSink::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IFileSinkFilter) return GetInterface(static_cast<IFileSinkFilter*>(this), object);
  return HarnessRenderer::NonDelegatingQueryInterface(iid, object);
}

HRESULT TestSink::SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* /*type*/) {
  if (fileName == nullptr) return E_POINTER;
  std::lock_guard guard(fileMutex_);
  fileName_ = com::Utf16ToUtf8(fileName);
  return S_OK;
}

HRESULT TestSink::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
  if (fileName == nullptr) return E_POINTER;
  if (type != nullptr) *type = AM_MEDIA_TYPE{};
  std::lock_guard guard(fileMutex_);
  if (fileName_.empty()) {
    *fileName = nullptr;
    return S_OK;
  }
  return CopyToTaskMemory(com::Utf8ToUtf16(fileName_), fileName);
}

HRESULT TestSink::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Video && *type->Subtype() == kTestSubtypeB
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TestSink::EndOfStream() {
  WriteCount();  // before the base reports the completion
  return HarnessRenderer::EndOfStream();
}

HRESULT TestSink::Pause() {
  if (IsStopped()) ResetRendered();
  return HarnessRenderer::Pause();
}

HRESULT TestSink::Stop() {
  const bool wasActive = IsActive();
  const HRESULT result = HarnessRenderer::Stop();
  if (wasActive) WriteCount();
  return result;
}

void TestSink::WriteCount() {
  std::lock_guard guard(fileMutex_);
  if (fileName_.empty()) return;
  std::ofstream file(fileName_, std::ios::trunc);
  file << rendered() << '\n';
}

}  // namespace ksv::media::testing
