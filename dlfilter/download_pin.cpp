#include "dlfilter/download_pin.h"

#include <chrono>
#include <thread>

#include "support/no_throw.h"
#include "include/dextro.h"
#include "include/oksv1api_samples.h"
#include "platform/com/com_method.h"

namespace ksv::dlfilter {
namespace {

constexpr long kBufferCount = 10;
constexpr long kAudioBufferBytes = 16384;

}  // namespace

DownloadStreamPin::DownloadStreamPin(DownloadSourceFilter* filter, HRESULT* result, bool audio)
    : CSourceStream(audio ? "download audio pin" : "download video pin", result, filter,
                    audio ? kDownloadAudioPinName : kDownloadVideoPinName),
      filter_(filter),
      audio_(audio) {}

HRESULT DownloadStreamPin::GetMediaType(CMediaType* type) {
  return com::ComMethod([&]() -> HRESULT {
    if (type == nullptr) return E_POINTER;
    CAutoLock lock(filter_->pStateLock());
    if (typeKnown_) {
      *type = type_;
      return S_OK;
    }
    const HRESULT result =
        audio_ ? DoGetAudioMediaTypeForMe(0, type) : DoGetVideoMediaTypeForMe(0, type);
    if (FAILED(result)) return result;
    type_ = *type;
    typeKnown_ = true;
    return result;
  });
}

HRESULT DownloadStreamPin::DecideBufferSize(IMemAllocator* allocator,
                                            ALLOCATOR_PROPERTIES* request) {
  return com::ComMethod([&]() -> HRESULT {
    if (allocator == nullptr || request == nullptr) return E_POINTER;
    CAutoLock lock(filter_->pStateLock());
    request->cBuffers = kBufferCount;
    if (audio_) {
      request->cbBuffer = kAudioBufferBytes;
    } else {
      const CMediaType& type = CurrentMediaType();
      if (*type.FormatType() != FORMAT_VideoInfo ||
          type.FormatLength() < sizeof(VIDEOINFOHEADER)) {
        return E_FAIL;
      }
      const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
      request->cbBuffer = static_cast<long>(info->bmiHeader.biSizeImage);
    }
    if (request->cbAlign <= 0) request->cbAlign = 1;
    ALLOCATOR_PROPERTIES granted{};
    const HRESULT result = allocator->SetProperties(request, &granted);
    if (FAILED(result)) return result;
    return granted.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
  });
}

HRESULT DownloadStreamPin::WakeToRun() {
  return com::ComMethod([&]() -> HRESULT {
    if (!ThreadExists()) return S_OK;
    return Run();
  });
}

HRESULT DownloadStreamPin::OnThreadCreate() {
  return com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(filter_->pStateLock());
    finished_ = false;
    endSent_ = false;
    return S_OK;
  });
}

HRESULT DownloadStreamPin::FillBuffer(IMediaSample* /*sample*/) { return S_OK; }

void DownloadStreamPin::EndStreamOnce() {
  {
    CAutoLock lock(filter_->pStateLock());
    if (endSent_) return;
    endSent_ = true;
  }
  // Delivered without the lock, as every delivery downstream.
  DeliverEndOfStream();
}

DownloadStreamPin::Step DownloadStreamPin::DeliverOneSample(HRESULT* leaveWith) {
  IMediaSample* sample = nullptr;
  if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) {
    // Decommitted for a stop on its way, or starved: look again soon.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return Step::kGoOn;
  }
  int last = 0;
  const HRESULT result = audio_ ? ProcessAudioData(sample, &last) : ProcessVideoData(sample, &last);
  if (result == S_FALSE) {
    sample->Release();
    finished_ = true;
    EndStreamOnce();
    *leaveWith = S_OK;
    return Step::kLeave;
  }
  if (result != S_OK) {
    sample->Release();
    finished_ = true;
    // The error reaches the graph before the end of stream, so the
    // completion that follows downstream cannot end the caller's wait as
    // if the clip had been written whole.
    m_pFilter->NotifyEvent(EC_ERRORABORT, result, 0);
    EndStreamOnce();
    *leaveWith = result;
    return Step::kLeave;
  }
  const HRESULT delivered = Deliver(sample);
  sample->Release();
  if (last != 0) {
    finished_ = true;
    EndStreamOnce();
  }
  if (delivered != S_OK) {
    // Downstream refused (stopping, or failed and reported it itself).
    finished_ = true;
    *leaveWith = S_OK;
    return Step::kLeave;
  }
  return Step::kGoOn;
}

HRESULT DownloadStreamPin::DoBufferProcessingLoop() {
  bool returned = false;
  const HRESULT result = com::ComMethod([&] {
    const HRESULT served = ServeSamples();
    returned = true;
    return served;
  });
  if (!returned) {
    // Thrown out of the loop (out of memory): the graph learns of it as of
    // any failed sample, so that nobody waits for a stream that stopped.
    support::NoThrowVoid([&] {
      finished_ = true;
      m_pFilter->NotifyEvent(EC_ERRORABORT, result, 0);
      EndStreamOnce();
    });
  }
  return result;
}

HRESULT DownloadStreamPin::ServeSamples() {
  OnThreadStartPlay();
  for (;;) {
    Command command;
    if (filter_->IsRunning() && !finished_) {
      if (!CheckRequest(&command)) {
        HRESULT leaveWith = S_OK;
        if (DeliverOneSample(&leaveWith) == Step::kLeave) return leaveWith;
        continue;
      }
    } else {
      // Paused, or the stream is over: nothing to do until the graph
      // commands (a run wakes us through WakeToRun).
      command = GetRequest();
    }
    if (command == CMD_STOP) return S_FALSE;  // answered by the thread's command loop
    Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
  }
}

}  // namespace ksv::dlfilter
