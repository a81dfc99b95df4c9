// One output pin of the download source filter: the video pin (pin 0) or
// the audio pin (pin 1). Its streaming thread pulls one sample at a time
// from the camera access library while the filter runs; while the filter
// is paused, and once its stream has ended, the thread sleeps until the
// next command (run, pause or stop) instead of polling.
#pragma once

#include "dlfilter/download_source.h"
#include "platform/media/base/streams.h"

namespace ksv::dlfilter {

class DownloadStreamPin final : public CSourceStream {
 public:
  DownloadStreamPin(DownloadSourceFilter* filter, HRESULT* result, bool audio);

  // The library's type for this stream, asked for once and then kept for
  // the pin's life (a failure is returned and not kept).
  using CSourceStream::GetMediaType;
  HRESULT GetMediaType(CMediaType* type) override;
  // Ten buffers: a whole frame each for video, 16,384 bytes for audio. An
  // allocator that grants smaller buffers fails the connection.
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  // Tells the streaming thread, if there is one, that the filter runs now.
  HRESULT WakeToRun();

 protected:
  HRESULT OnThreadCreate() override;
  // Not used: the loop below asks the library for each sample.
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT DoBufferProcessingLoop() override;

 private:
  // What delivering one sample led to.
  enum class Step { kGoOn, kLeave };
  Step DeliverOneSample(HRESULT* leaveWith);
  // The streaming thread's loop; DoBufferProcessingLoop runs it so that
  // nothing thrown leaves the thread.
  HRESULT ServeSamples();
  // Sends the end of stream unless it was sent already.
  void EndStreamOnce();

  DownloadSourceFilter* filter_;
  const bool audio_;
  bool typeKnown_ = false;  // under the filter's lock
  CMediaType type_;
  // The stream's end since the pins became active: the last sample went
  // out, or the stream was ended or aborted. Only the streaming thread
  // touches `finished_`; `endSent_` is under the filter's lock.
  bool finished_ = false;
  bool endSent_ = false;
};

}  // namespace ksv::dlfilter
