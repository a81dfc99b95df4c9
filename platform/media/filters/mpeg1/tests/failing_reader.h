// A stand-in for the File Source whose reads fail past a chosen byte: an
// output pin offering IAsyncReader (SyncRead and Length) over bytes in
// memory, as MEDIATYPE_Stream / MPEG1System.
#pragma once

#include <atomic>
#include <vector>

#include "platform/media/base/streams.h"
#include "platform/media/config_interfaces.h"

namespace ksv::media::mpeg1::testing {

class FailingReaderPin : public CBasePin, public IAsyncReader {
 public:
  FailingReaderPin(CBaseFilter* filter, CCritSec* lock, std::vector<uint8_t> bytes);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;

  HRESULT RequestAllocator(IMemAllocator*, ALLOCATOR_PROPERTIES*, IMemAllocator**) override {
    return E_NOTIMPL;
  }
  HRESULT Request(IMediaSample*, ULONG_PTR) override { return E_NOTIMPL; }
  HRESULT WaitForNext(DWORD, IMediaSample**, ULONG_PTR*) override { return E_NOTIMPL; }
  HRESULT SyncReadAligned(IMediaSample*) override { return E_NOTIMPL; }
  // `failure` for any read that reaches past the failing byte.
  HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
  HRESULT Length(LONGLONG* total, LONGLONG* available) override;
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }

  // Reads reaching byte `at` and beyond fail with `failure` from now on.
  void FailFrom(LONGLONG at, HRESULT failure) {
    failure_ = failure;
    failAt_ = at;
  }

 private:
  const std::vector<uint8_t> bytes_;
  std::atomic<LONGLONG> failAt_;
  std::atomic<HRESULT> failure_{E_FAIL};
};

class FailingReader : public CBaseFilter {
 public:
  explicit FailingReader(std::vector<uint8_t> bytes);
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
  FailingReaderPin& pin() { return pin_; }

 private:
  CCritSec lock_;
  FailingReaderPin pin_;
};

}  // namespace ksv::media::mpeg1::testing
