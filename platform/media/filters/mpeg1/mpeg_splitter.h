// MPEG-I Stream Splitter: takes an MPEG-1 system stream (or an elementary
// video or audio stream) from a file source's IAsyncReader and gives one
// output pin per MPEG-1 video stream ("Video") and MPEG audio stream
// ("Audio"), each sample one coded picture or audio frame.
//
// When its input connects it opens the stream with libavformat, reads the
// headers and makes its output pins; they go when the input disconnects.
// One streaming thread reads the stream in order (libavformat reads
// sequentially) from the first byte each time the filter leaves the
// stopped state, and delivers each packet to its pin with its time
// relative to the start of the stream; a pin that is not connected drops
// its packets. Pins taken away stay alive, unlisted, while the filter lives. At the end it delivers end of stream on every pin; a read
// error first notifies EC_ERRORABORT.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/media/base/filter.h"
#include "platform/media/base/pins.h"
#include "platform/media/base/reader_input_pin.h"
#include "platform/media/filters/mpeg1/reader_demuxer.h"

struct AVPacket;

namespace ksv::media::mpeg1 {

class MpegSplitter;

class SplitterInputPin : public CReaderInputPin {
 public:
  SplitterInputPin(MpegSplitter* filter, CCritSec* lock, HRESULT* result);

  // MEDIATYPE_Stream with an MPEG-1 system, video CD, video or audio subtype.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  // Opens the stream and makes the output pins.
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;

 private:
  MpegSplitter* splitter_;
};

class SplitterOutputPin : public CBaseOutputPin {
 public:
  SplitterOutputPin(MpegSplitter* filter, CCritSec* lock, HRESULT* result, LPCWSTR name,
                    int streamIndex, const CMediaType& type, LONG bufferSize, LONG bufferCount);

  // Its one type only.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  int streamIndex() const { return streamIndex_; }

  // On the streaming thread. The first sample of a run is a discontinuity.
  void StartRun() { discontinuity_ = true; refused_ = false; }
  // Copies the packet into one sample, or several when it does not fit
  // (only the first carries the times and the sync point). `timed` says
  // whether `start` is known; `stop` counts when it is after `start`.
  HRESULT DeliverPacket(const AVPacket& packet, bool timed, REFERENCE_TIME start,
                        REFERENCE_TIME stop, bool syncPoint);
  // Downstream refused a sample: this pin sends nothing more this run.
  bool refused() const { return refused_; }
  void Refuse() { refused_ = true; }

 private:
  const int streamIndex_;
  const CMediaType type_;
  const LONG bufferSize_;
  const LONG bufferCount_;
  bool discontinuity_ = true;
  bool refused_ = false;
};

class MpegSplitter : public CBaseFilter {
 public:
  MpegSplitter(LPUNKNOWN outer, HRESULT* result);
  ~MpegSplitter() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  int GetPinCount() override;
  CBasePin* GetPin(int index) override;
  const AMOVIESETUP_FILTER* GetSetupData() override;

  // Pause from stopped starts the streaming thread; Stop frees it (the
  // allocators' decommit wakes it where it waits for a buffer) and waits
  // for it to end.
  HRESULT Pause() override;
  HRESULT Stop() override;

  // From the input pin.
  HRESULT OpenStream(IAsyncReader* reader, const GUID& subtype);
  void CloseStream();

 private:
  struct Stream;
  HRESULT MakeOutputPins(std::vector<Stream>& streams);
  void RemoveOutputPins();
  void StreamingThread();
  HRESULT PumpPackets();
  SplitterOutputPin* ConnectedPinOf(int streamIndex);
  bool AnyPinTakesSamples() const;

  CCritSec m_csFilter;
  std::unique_ptr<SplitterInputPin> input_;
  std::vector<std::unique_ptr<SplitterOutputPin>> outputs_;
  // Pins taken away when the input disconnected. Someone may still hold
  // one (a pin counts on its filter's references), so they live as long as
  // the filter does.
  std::vector<std::unique_ptr<SplitterOutputPin>> retired_;
  ReaderDemuxer demuxer_;
  std::vector<int64_t> origins_;  // per stream: its time of the stream's start
  REFERENCE_TIME duration_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
};

}  // namespace ksv::media::mpeg1
