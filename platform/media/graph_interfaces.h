// The filter graph as filters and builders see it: IFilterGraph (filters
// and direct connections), IGraphBuilder (intelligent connection and
// rendering) and IMediaEventSink, through which filters notify events.
#pragma once

#include "platform/com/unknown.h"
#include "platform/media/filter_interfaces.h"

struct IFilterGraph : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A8689F-0AD4-11CE-B03A-0020AF0BA770");

  // Adds `filter` under `name` (a unique name is made when it is null or
  // taken: VFW_S_DUPLICATE_NAME) and calls its JoinFilterGraph.
  virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
  // Connects two pins of filters in the graph, with no filter between.
  virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
  // Breaks `pin`'s connection and makes it again with the same partner; a
  // filter asks for this while its own connection is being completed, so
  // the graph may do it later (the filter must not wait for it).
  virtual HRESULT Reconnect(IPin* pin) = 0;
  virtual HRESULT Disconnect(IPin* pin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;

 protected:
  ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
  static constexpr IID kIid = ksv::com::Guid("56A868A9-0AD4-11CE-B03A-0020AF0BA770");

  // Connects `output` to `input`, inserting registered filters when needed.
  virtual HRESULT Connect(IPin* output, IPin* input) = 0;
  virtual HRESULT Render(IPin* output) = 0;
  virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
  virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) = 0;
  virtual HRESULT SetLogFile(ULONG_PTR file) = 0;
  virtual HRESULT Abort() = 0;
  virtual HRESULT ShouldOperationContinue() = 0;

 protected:
  ~IGraphBuilder() = default;
};

// The graph's side of event notification: filters call Notify (EC_ codes).
struct IMediaEventSink : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A868A2-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

 protected:
  ~IMediaEventSink() = default;
};

// This framework's own extension, not a platform interface: a filter asks
// its graph whether the stream failed somewhere else, so that a file sink
// does not put a broken file in place after an upstream error.
struct IGraphStreamErrors : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("C3645BF6-A98B-483C-843B-106461FA1147");
  // The first error a filter notified (EC_ERRORABORT or
  // EC_STREAM_ERROR_STOPPED) since the graph last left the stopped state;
  // S_FALSE, and S_OK in *error, when there was none.
  virtual HRESULT GetFirstStreamError(HRESULT* error) = 0;

 protected:
  ~IGraphStreamErrors() = default;
};

inline constexpr IID IID_IFilterGraph = IFilterGraph::kIid;
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::kIid;
inline constexpr IID IID_IMediaEventSink = IMediaEventSink::kIid;
inline constexpr IID IID_IGraphStreamErrors = IGraphStreamErrors::kIid;
