// The Smart Tee: one video stream in, a capture and a preview stream out.
// The capture output passes each input sample itself downstream (no copy,
// same times). The preview output gets a copy without time stamps, and
// only when that costs the capture nothing: the copy goes into a free
// preview buffer taken without waiting and is delivered by the preview
// pin's own thread through a one-sample slot, so a preview renderer that
// is slow, blocks or holds its samples makes the preview drop frames while
// the capture goes on. Output pin 0 is the capture pin, 1 the preview pin.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/media/base/filter.h"
#include "platform/media/base/pins.h"

namespace ksv::media::smarttee {

class SmartTee;

class TeeInputPin final : public CBaseInputPin {
 public:
  TeeInputPin(SmartTee* tee, CCritSec* lock, HRESULT* result);

  // Any video type; when outputs are connected, one their peers accept.
  HRESULT CheckMediaType(const CMediaType* type) override;
  // A new type reconnects the outputs that carry another one.
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT Receive(IMediaSample* sample) override;
  // Only the capture path can hold up the sender.
  HRESULT ReceiveCanBlock() override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // The allocator the upstream pin chose; the capture output passes it on.
  IMemAllocator* Allocator() const { return m_pAllocator; }

 private:
  SmartTee* tee_;
};

// What both outputs share: they carry the input's type, and connect only
// after the input has.
class TeeOutputPin : public CBaseOutputPin {
 public:
  TeeOutputPin(const TCHAR* objectName, SmartTee* tee, CCritSec* lock, HRESULT* result,
               LPCWSTR name);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;

 protected:
  SmartTee* tee_;
};

class TeeCaptureOutput final : public TeeOutputPin {
 public:
  TeeCaptureOutput(SmartTee* tee, CCritSec* lock, HRESULT* result);
  // The input's own allocator, so that input samples can go on as they are.
  HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
};

class TeePreviewOutput final : public TeeOutputPin {
 public:
  TeePreviewOutput(SmartTee* tee, CCritSec* lock, HRESULT* result);
  ~TeePreviewOutput() override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  // Start and stop the delivering thread with the allocator.
  HRESULT Active() override;
  HRESULT Inactive() override;

  // From the input's thread; none of these waits for the preview.
  // Copies `sample` into a free preview buffer when the slot is empty,
  // else drops it.
  void Offer(IMediaSample* sample);
  void QueueEndOfStream();
  void Flush();

  LONG dropped() const;

 private:
  void DeliverLoop();
  void StopThread();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  IMediaSample* pending_ = nullptr;  // counted; the one-sample slot
  bool endPending_ = false;
  bool running_ = false;
  LONG dropped_ = 0;
  std::thread thread_;
};

class SmartTee final : public CBaseFilter {
 public:
  SmartTee(LPUNKNOWN outer, HRESULT* result);
  ~SmartTee() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  // "Smart Tee", never picked by intelligent connection.
  static const AMOVIESETUP_FILTER* Setup();

  int GetPinCount() override { return 3; }
  CBasePin* GetPin(int index) override;
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }

  TeeInputPin* input() { return input_; }
  TeeCaptureOutput* capture() { return capture_; }
  TeePreviewOutput* preview() { return preview_; }

 private:
  CCritSec lock_;
  TeeInputPin* input_ = nullptr;
  TeeCaptureOutput* capture_ = nullptr;
  TeePreviewOutput* preview_ = nullptr;
};

}  // namespace ksv::media::smarttee
