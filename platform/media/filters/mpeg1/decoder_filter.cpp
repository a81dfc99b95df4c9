#include "platform/media/filters/mpeg1/decoder_filter.h"

#include "platform/media/filters/mpeg1/mpeg_headers.h"

namespace ksv::media::mpeg1 {

MpegDecoderFilter::MpegDecoderFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid)
    : CTransformFilter(name, outer, clsid) {}

HRESULT MpegDecoderFilter::Receive(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || data == nullptr) return E_POINTER;
  LONG size = sample->GetActualDataLength();
  if (size < 0) return E_INVALIDARG;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT timed = sample->GetTime(&start, &stop);
  const int64_t pts = (timed == S_OK || timed == VFW_S_NO_STOP_TIME) ? start : AV_NOPTS_VALUE;

  CAutoLock receiving(&m_csReceive);
  if (!decoder_.IsOpen()) return VFW_E_NOT_CONNECTED;
  if (sample->IsDiscontinuity() == S_OK) discontinuity_ = true;
  if (packetInput_) {
    SystemPacket packet;
    if (!ReadSystemPacket(data, static_cast<size_t>(size), &packet)) {
      discontinuity_ = true;  // not a packet: skipped, and downstream told of the gap
      return S_OK;
    }
    data += packet.payloadOffset;
    size = static_cast<LONG>(packet.payloadSize);
  }
  deliveryRefused_ = false;
  const HRESULT result = decoder_.Decode(data, size, pts, this);
  return FAILED(result) ? Fail(result) : result;
}

HRESULT MpegDecoderFilter::EndOfStream() {
  {
    CAutoLock receiving(&m_csReceive);
    if (decoder_.IsOpen()) {
      deliveryRefused_ = false;
      const HRESULT result = decoder_.Drain(this);
      if (FAILED(result)) Fail(result);
    }
  }
  return CTransformFilter::EndOfStream();
}

HRESULT MpegDecoderFilter::EndFlush() {
  {
    CAutoLock receiving(&m_csReceive);
    if (decoder_.IsOpen()) decoder_.Restart();
    discontinuity_ = true;
    OnRestart();
  }
  return CTransformFilter::EndFlush();
}

HRESULT MpegDecoderFilter::StartStreaming() {
  discontinuity_ = true;
  OnRestart();
  return decoder_.IsOpen() ? decoder_.Restart() : S_OK;
}

HRESULT MpegDecoderFilter::GetOutputBuffer(IMediaSample** sample) {
  const HRESULT result = m_pOutput->GetDeliveryBuffer(sample, nullptr, nullptr, 0);
  if (FAILED(result)) deliveryRefused_ = true;
  return result;
}

HRESULT MpegDecoderFilter::DeliverOutput(IMediaSample* sample) {
  m_csReceive.Unlock();
  const HRESULT result = m_pOutput->Deliver(sample);
  sample->Release();
  m_csReceive.Lock();
  if (result != S_OK) deliveryRefused_ = true;
  return result;
}

BOOL MpegDecoderFilter::TakeDiscontinuity() {
  const BOOL taken = discontinuity_ ? TRUE : FALSE;
  discontinuity_ = false;
  return taken;
}

HRESULT MpegDecoderFilter::Fail(HRESULT result) {
  // A refusal downstream (or a stop) is not our error to report.
  if (!deliveryRefused_ && !IsStopped()) NotifyEvent(EC_ERRORABORT, result, 0);
  return result;
}

}  // namespace ksv::media::mpeg1
