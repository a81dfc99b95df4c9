// The test plug-in's filters, the harness's filters in video types of
// their own. Samples carry their index and no times, so a running graph
// delivers them as fast as it can.
#pragma once

#include <mutex>
#include <string>

#include "platform/media/base/streams.h"
#include "platform/media/testing/harness_filters.h"

namespace ksv::media::testing {

// A video stream of one subtype, 4-byte samples.
CMediaType TestStreamType(const GUID& subtype);

// Sends `samples` samples of subtype A each time it leaves the stopped
// state, then ends the stream. IFileSourceFilter::Load takes the count as
// a file name of decimal digits ("120").
class TestSource : public HarnessSource, public IFileSourceFilter {
 public:
  TestSource();
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
  HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

  CMediaType StreamType() override;
  HRESULT Fill(IMediaSample* sample, int64_t index) override;

 private:
  std::u16string fileName_;
};

// Takes subtype A and makes `Output` of it, copying each sample.
class TestConverter : public HarnessTransform {
 public:
  TestConverter(REFCLSID clsid, const GUID& output);
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;

 private:
  const GUID output_;
};

// Renders subtype B only and counts the samples since it last left the
// stopped state. With IFileSinkFilter::SetFileName it writes the count (in
// decimal, and a new line) to that file at the end of the stream and when
// it stops.
class TestSink : public HarnessRenderer, public IFileSinkFilter {
 public:
  TestSink();
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
  HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT EndOfStream() override;
  HRESULT Pause() override;
  HRESULT Stop() override;

 private:
  void WriteCount();

  std::mutex fileMutex_;
  std::string fileName_;  // UTF-8; empty: no file
};

}  // namespace ksv::media::testing
