// The splitter filter: its state changes and its streaming thread.
#include "platform/media/filters/mpeg1/mpeg_splitter.h"

#include <new>
#include <system_error>

#include "platform/media/filter_ids.h"
#include "platform/media/filters/mpeg1/av_handles.h"
#include "platform/media/filters/mpeg1/mpeg1_setup.h"

namespace ksv::media::mpeg1 {

MpegSplitter::MpegSplitter(LPUNKNOWN outer, HRESULT* result)
    : CBaseFilter("MPEG-I Stream Splitter", outer, &m_csFilter, CLSID_MPEG1Splitter, result) {
  HRESULT pinResult = S_OK;
  input_ = std::make_unique<SplitterInputPin>(this, &m_csFilter, &pinResult);
  if (FAILED(pinResult) && result != nullptr) *result = pinResult;
  demuxer_.SetInterruptFlag(&stopping_);
}

MpegSplitter::~MpegSplitter() {
  Stop();
  RemoveOutputPins();
  demuxer_.Close();
}

CUnknown* MpegSplitter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = S_OK;
  auto* filter = new (std::nothrow) MpegSplitter(outer, result);
  if (filter == nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

int MpegSplitter::GetPinCount() {
  CAutoLock lock(&m_csFilter);
  return 1 + static_cast<int>(outputs_.size());
}

CBasePin* MpegSplitter::GetPin(int index) {
  CAutoLock lock(&m_csFilter);
  if (index == 0) return input_.get();
  if (index < 1 || index > static_cast<int>(outputs_.size())) return nullptr;
  return outputs_[static_cast<size_t>(index - 1)].get();
}

const AMOVIESETUP_FILTER* MpegSplitter::GetSetupData() { return &kSplitterSetup; }

HRESULT MpegSplitter::Pause() {
  CAutoLock lock(&m_csFilter);
  const bool wasStopped = m_State == State_Stopped;
  const HRESULT result = CBaseFilter::Pause();
  if (FAILED(result) || !wasStopped || demuxer_.context() == nullptr) return result;
  stopping_ = false;
  try {
    thread_ = std::thread(&MpegSplitter::StreamingThread, this);
  } catch (const std::system_error&) {
    CBaseFilter::Stop();
    return E_OUTOFMEMORY;
  }
  return result;
}

HRESULT MpegSplitter::Stop() {
  CAutoLock lock(&m_csFilter);
  stopping_ = true;
  // Decommitting the allocators wakes the thread if it waits for a buffer;
  // it takes no lock of ours, so it can be waited for here.
  const HRESULT result = CBaseFilter::Stop();
  if (thread_.joinable()) thread_.join();
  return result;
}

SplitterOutputPin* MpegSplitter::ConnectedPinOf(int streamIndex) {
  for (const auto& pin : outputs_) {
    if (pin->streamIndex() == streamIndex) {
      return pin->IsConnected() && !pin->refused() ? pin.get() : nullptr;
    }
  }
  return nullptr;
}

bool MpegSplitter::AnyPinTakesSamples() const {
  for (const auto& pin : outputs_) {
    if (pin->IsConnected() && !pin->refused()) return true;
  }
  return false;
}

void MpegSplitter::StreamingThread() {
  const HRESULT result = PumpPackets();
  if (stopping_) return;
  // The graph learns of the failure before the streams end.
  if (FAILED(result)) NotifyEvent(EC_ERRORABORT, result, 0);
  for (const auto& pin : outputs_) {
    if (pin->IsConnected()) pin->DeliverEndOfStream();
  }
}

HRESULT MpegSplitter::PumpPackets() {
  HRESULT result = demuxer_.Rewind();
  if (FAILED(result)) return result;
  PacketPtr packet(av_packet_alloc());
  if (!packet) return E_OUTOFMEMORY;
  AVFormatContext* format = demuxer_.context();
  for (const auto& pin : outputs_) {
    pin->StartRun();
    if (pin->IsConnected()) pin->DeliverNewSegment(0, duration_, 1.0);
  }
  while (!stopping_) {
    const int read = av_read_frame(format, packet.get());
    // A failed read may look like the end of the stream to the demuxer.
    if (read == AVERROR_EOF) return demuxer_.lastReadError();
    if (read < 0) {
      if (stopping_) return S_OK;
      if (FAILED(demuxer_.lastReadError())) return demuxer_.lastReadError();
      return read == AVERROR_INVALIDDATA ? VFW_E_INVALID_FILE_FORMAT : E_FAIL;
    }
    const int index = packet->stream_index;
    SplitterOutputPin* pin = ConnectedPinOf(index);
    if (pin != nullptr) {
      const AVStream* stream = format->streams[index];
      const bool timed = packet->pts != AV_NOPTS_VALUE;
      REFERENCE_TIME start = 0;
      REFERENCE_TIME stop = 0;
      if (timed) {
        const int64_t origin = origins_[static_cast<size_t>(index)];
        start = av_rescale_q(packet->pts - origin, stream->time_base, kReferenceTimeBase);
        if (packet->duration > 0) {
          stop = start + av_rescale_q(packet->duration, stream->time_base, kReferenceTimeBase);
        }
      }
      const bool video = stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
      const bool sync = !video || (packet->flags & AV_PKT_FLAG_KEY) != 0;
      if (pin->DeliverPacket(*packet, timed, start, stop, sync) != S_OK) {
        if (stopping_) return S_OK;
        pin->Refuse();  // downstream stopped taking samples (and said why itself)
        if (!AnyPinTakesSamples()) return S_OK;
      }
    }
    av_packet_unref(packet.get());
  }
  return S_OK;
}

}  // namespace ksv::media::mpeg1
