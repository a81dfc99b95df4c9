// A stand-in for the File Source: an output pin offering IAsyncReader
// (SyncRead and Length) over bytes in memory, as MEDIATYPE_Stream with a
// chosen subtype, whose reads can be made to fail past a chosen byte.
#pragma once

#include <atomic>
#include <vector>

#include "platform/media/base/streams.h"
#include "platform/media/config_interfaces.h"

namespace ksv::media::mpeg1::testing {

class MemoryReaderPin : public CBasePin, public IAsyncReader {
 public:
  MemoryReaderPin(CBaseFilter* filter, CCritSec* lock, std::vector<uint8_t> bytes,
                  const GUID& subtype);

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
  const GUID subtype_;
  std::atomic<LONGLONG> failAt_;
  std::atomic<HRESULT> failure_{E_FAIL};
};

class MemoryReader : public CBaseFilter {
 public:
  explicit MemoryReader(std::vector<uint8_t> bytes,
                        const GUID& subtype = MEDIASUBTYPE_MPEG1System);
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
  MemoryReaderPin& pin() { return pin_; }

 private:
  CCritSec lock_;
  MemoryReaderPin pin_;
};

}  // namespace ksv::media::mpeg1::testing
