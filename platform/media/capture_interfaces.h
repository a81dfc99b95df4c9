// The capture graph builder: builds capture and preview graphs from a
// capture filter's pins by category (ICaptureGraphBuilder and its
// successor ICaptureGraphBuilder2, methods in the platform's order).
#pragma once

#include "platform/com/com_types.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/graph_interfaces.h"

// The size of a capture file to preallocate (a Win32 64-bit count).
typedef uint64_t DWORDLONG;

// Reports the progress of CopyCaptureFile.
struct IAMCopyCaptureFileProgress : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("670D1D20-A068-11D0-B3F0-00AA003761C5");
  virtual HRESULT Progress(int percent) = 0;

 protected:
  ~IAMCopyCaptureFileProgress() = default;
};

// The older interface: no media type arguments.
struct ICaptureGraphBuilder : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("BF87B6E0-8C27-11D0-B3F0-00AA003761C5");
  virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
  virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
  virtual HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                                    IFileSinkFilter** sink) = 0;
  virtual HRESULT FindInterface(const GUID* category, IBaseFilter* filter, REFIID iid,
                                void** object) = 0;
  virtual HRESULT RenderStream(const GUID* category, IUnknown* source, IBaseFilter* compressor,
                               IBaseFilter* renderer) = 0;
  virtual HRESULT ControlStream(const GUID* category, IBaseFilter* filter, REFERENCE_TIME* start,
                                REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) = 0;
  virtual HRESULT AllocCapFile(LPCOLESTR file, DWORDLONG size) = 0;
  virtual HRESULT CopyCaptureFile(LPOLESTR oldFile, LPOLESTR newFile, int allowEscAbort,
                                  IAMCopyCaptureFileProgress* callback) = 0;

 protected:
  ~ICaptureGraphBuilder() = default;
};

struct ICaptureGraphBuilder2 : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("93E5A4E0-2D50-11D2-ABFA-00A0C9C6E38D");
  // Hands the builder the graph to build in (E_UNEXPECTED when it has one).
  virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
  // The builder's graph, made on first need when none was set.
  virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
  // A multiplexer (`type` MEDIASUBTYPE_Avi: the AVI Mux, else the class
  // `type` names) and a file writer for `file`, added and connected.
  virtual HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                                    IFileSinkFilter** sink) = 0;
  // `category`: a pin category, LOOK_UPSTREAM_ONLY, LOOK_DOWNSTREAM_ONLY or
  // null (the filter, its pins, then downstream, then upstream).
  virtual HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter,
                                REFIID iid, void** object) = 0;
  // Connects the output pin of `category` and major `type` of `source` (a
  // filter or an output pin) to `renderer`, through `compressor` when given;
  // VFW_S_NOPREVIEWPIN when preview went through a Smart Tee.
  virtual HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                               IBaseFilter* compressor, IBaseFilter* renderer) = 0;
  virtual HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter,
                                REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie,
                                WORD stopCookie) = 0;
  virtual HRESULT AllocCapFile(LPCOLESTR file, DWORDLONG size) = 0;
  virtual HRESULT CopyCaptureFile(LPOLESTR oldFile, LPOLESTR newFile, int allowEscAbort,
                                  IAMCopyCaptureFileProgress* callback) = 0;
  // The `index`-th pin of `source` (or `source` itself when it is a pin)
  // with this direction, category, major type and, with `unconnected`, no
  // connection; E_FAIL when there is none.
  virtual HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category,
                          const GUID* type, BOOL unconnected, int index, IPin** pin) = 0;

 protected:
  ~ICaptureGraphBuilder2() = default;
};

inline constexpr IID IID_IAMCopyCaptureFileProgress = IAMCopyCaptureFileProgress::kIid;
inline constexpr IID IID_ICaptureGraphBuilder = ICaptureGraphBuilder::kIid;
inline constexpr IID IID_ICaptureGraphBuilder2 = ICaptureGraphBuilder2::kIid;

// The builder's classes; the older one has the value of its interface.
inline constexpr CLSID CLSID_CaptureGraphBuilder =
    ksv::com::Guid("BF87B6E0-8C27-11D0-B3F0-00AA003761C5");
inline constexpr CLSID CLSID_CaptureGraphBuilder2 =
    ksv::com::Guid("BF87B6E1-8C27-11D0-B3F0-00AA003761C5");

// FindInterface's search directions.
inline constexpr GUID LOOK_UPSTREAM_ONLY = ksv::com::Guid("AC798BE0-98E3-11D1-B3F1-00AA003761C5");
inline constexpr GUID LOOK_DOWNSTREAM_ONLY =
    ksv::com::Guid("AC798BE1-98E3-11D1-B3F1-00AA003761C5");
