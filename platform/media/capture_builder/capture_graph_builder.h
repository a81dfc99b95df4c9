// The capture graph builder (CLSID_CaptureGraphBuilder and
// CLSID_CaptureGraphBuilder2, one object answering both interfaces): it
// builds in a filter graph it is given, or one it makes on first need.
// Capture and preview are rendered from a capture filter's pins by
// category; a filter without a preview pin gets a Smart Tee on its capture
// pin. ControlStream, AllocCapFile and CopyCaptureFile answer E_NOTIMPL:
// nothing in the system uses stream control or preallocated capture files.
#pragma once

#include <mutex>

#include "platform/com/com_ptr.h"
#include "platform/media/base/com_base.h"
#include "platform/media/capture_interfaces.h"

namespace ksv::media::capture {

class CaptureGraphBuilder final : public CUnknown,
                                  public ICaptureGraphBuilder2,
                                  public ICaptureGraphBuilder {
 public:
  explicit CaptureGraphBuilder(LPUNKNOWN outer, HRESULT* result = nullptr);
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Both interfaces.
  HRESULT SetFiltergraph(IGraphBuilder* graph) override;
  HRESULT GetFiltergraph(IGraphBuilder** graph) override;
  HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                            IFileSinkFilter** sink) override;
  HRESULT AllocCapFile(LPCOLESTR file, DWORDLONG size) override;
  HRESULT CopyCaptureFile(LPOLESTR oldFile, LPOLESTR newFile, int allowEscAbort,
                          IAMCopyCaptureFileProgress* callback) override;

  // ICaptureGraphBuilder2
  HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                        void** object) override;
  HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                       IBaseFilter* compressor, IBaseFilter* renderer) override;
  HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter,
                        REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie,
                        WORD stopCookie) override;
  HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category,
                  const GUID* type, BOOL unconnected, int index, IPin** pin) override;

  // ICaptureGraphBuilder: the same without media types.
  HRESULT FindInterface(const GUID* category, IBaseFilter* filter, REFIID iid,
                        void** object) override;
  HRESULT RenderStream(const GUID* category, IUnknown* source, IBaseFilter* compressor,
                       IBaseFilter* renderer) override;
  HRESULT ControlStream(const GUID* category, IBaseFilter* filter, REFERENCE_TIME* start,
                        REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) override;

 private:
  // The graph, made when none was set yet.
  HRESULT Graph(com::ComPtr<IGraphBuilder>* graph);

  std::mutex mutex_;  // guards graph_
  com::ComPtr<IGraphBuilder> graph_;
};

}  // namespace ksv::media::capture
