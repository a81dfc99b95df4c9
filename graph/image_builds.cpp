// The builds that take their frames from the client through the AVI maker:
// an AVI file from the frames (with a WAV file as sound track, or without),
// and the frames shown on screen.
#include "support/no_throw.h"
#include "graph/graph_routines.h"
#include "graph/quick_compress.h"
#include "graph/source_file.h"
#include "include/avimaker.h"
#include "platform/media/filter_ids.h"
#include "platform/media/pin_search.h"

namespace ksv::graph {

namespace {

// The picture the client's frame callback fills.
struct FrameSource {
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  QmgFrameCallback frames;
  intptr_t userData;
};

// The AVI maker, listed, its control kept in the context and set up for
// the client's frames; null on failure.
IBaseFilter* AddAviMaker(GraphContext& context, const FrameSource& source) {
  IBaseFilter* maker = FindFilterByFriendlyName(context, CLSID_LegacyAmFilterCategory,
                                                "RMC900 AVI Maker", kKindAviMaker, true);
  if (maker == nullptr) return nullptr;
  if (FAILED(maker->QueryInterface(IID_IAviMakerControl,
                                   reinterpret_cast<void**>(context.aviMaker.ReleaseAndGetAddressOf())))) {
    return nullptr;
  }
  if (context.aviMaker->Setup(source.width, source.height, source.bitsPerPixel, source.frames,
                              source.userData) != S_OK) {
    return nullptr;
  }
  return maker;
}

// The AVI maker, then the named video compressor when one is installed
// (the frames go into the file uncompressed when none is), the AVI Mux and
// the file; with `wavPath`, that file's sound joins the mux.
bool BuildImageToAvi(QmgHandle& handle, const FrameSource& source, const char* outputAviPath,
                     const char* compressorName, const char* wavPath) {
  GraphContext& context = *handle.graph;
  IBaseFilter* maker = AddAviMaker(context, source);
  if (maker == nullptr) return false;
  context.videoTail = maker;
  if (compressorName != nullptr) {
    IBaseFilter* compressor = FindFilterByFriendlyName(context, CLSID_VideoCompressorCategory,
                                                       compressorName, kKindVideoCompressor, true);
    if (compressor != nullptr) {
      QuickCompress(compressor, false);
      if (!ConnectFilters(maker, compressor)) return false;
      context.videoTail = compressor;
    }
  }
  if (!AddFileWriter(context, outputAviPath, true)) return false;
  IBaseFilter* mux = CreateFilter(context, CLSID_AviDest, kKindAviMux, true);
  if (mux == nullptr || !ConnectFilters(mux, context.aviWriter)) return false;
  if (!ConnectFilters(context.videoTail, mux)) return false;
  if (wavPath != nullptr) {
    if (!OpenSourceFile(context, wavPath, kWantAudio) || context.audioTail == nullptr ||
        !ConnectFilters(context.audioTail, mux)) {
      return false;
    }
  }
  RecordGraphFilters(context, false);
  AttachControls(handle, true);
  return true;
}

// The AVI maker, the Color Space Converter and the Video Renderer.
bool BuildPreviewClipGraph(QmgHandle& handle, const FrameSource& source) {
  GraphContext& context = *handle.graph;
  IBaseFilter* maker = AddAviMaker(context, source);
  if (maker == nullptr) return false;
  IBaseFilter* converter = FindFilterByFriendlyName(context, CLSID_LegacyAmFilterCategory,
                                                    "Color Space Converter", kKindColourConverter, true);
  if (converter == nullptr || !ConnectFilters(maker, converter)) return false;
  IBaseFilter* renderer = FindFilterByFriendlyName(context, CLSID_LegacyAmFilterCategory,
                                                   "Video Renderer", kKindVideoRenderer, true);
  if (renderer == nullptr || !ConnectFilters(converter, renderer)) return false;
  RecordGraphFilters(context, false);
  AttachControls(handle, true);
  return true;
}

// What a successful frame build leaves in the handle.
int32_t Built(QmgHandle* handle, int32_t kind) {
  handle->graphKind = kind;
  DispatchEvent(QMG_CODE_BUILT, handle);
  handle->mediaState = QMG_STATE_STOPPED;
  return 1;
}

// The connected output pin of `filter`, if any.
com::ComPtr<IPin> ConnectedOutput(IBaseFilter* filter) {
  for (const com::ComPtr<IPin>& pin : media::PinsOf(filter, PINDIR_OUTPUT)) {
    if (media::PeerOf(pin.Get())) return pin;
  }
  return nullptr;
}

// The AVI maker reconnects its own output when its period changes; a
// compressor after it derives its output type (and the period the AVI Mux
// writes into the file) from its input, so its output is reconnected too.
bool PassPeriodOn(GraphContext& context) {
  IBaseFilter* tail = context.videoTail;
  com::ComPtr<IBaseFilter> maker;
  if (tail == nullptr || FAILED(context.aviMaker.As(&maker)) || maker.Get() == tail) return true;
  const com::ComPtr<IPin> output = ConnectedOutput(tail);
  return !output || SUCCEEDED(context.graph->Reconnect(output.Get()));
}

int32_t ImageToAvi(QmgHandle* handle, const FrameSource& source, const char* outputAviPath,
                   const char* compressorName, const char* wavPath) {
  if (handle == nullptr || handle->graph == nullptr || source.frames == nullptr ||
      outputAviPath == nullptr) {
    return 0;
  }
  if (!BuildImageToAvi(*handle, source, outputAviPath, compressorName, wavPath)) return 0;
  return Built(handle, kGraphImageToAvi);
}

}  // namespace

}  // namespace ksv::graph

using namespace ksv::graph;

extern "C" {

KSV_EXPORT int32_t QMG_BuildImage2AVI(QmgHandle* handle, int32_t width, int32_t height,
                                      int32_t bitsPerPixel, QmgFrameCallback frames,
                                      intptr_t userData, const char* outputAviPath,
                                      const char* videoCompressorName) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    return ImageToAvi(handle, {width, height, bitsPerPixel, frames, userData}, outputAviPath,
                      videoCompressorName, nullptr);
  });
}

KSV_EXPORT int32_t QMG_BuildImageWav2AVI(QmgHandle* handle, int32_t width, int32_t height,
                                         int32_t bitsPerPixel, QmgFrameCallback frames,
                                         intptr_t userData, const char* outputAviPath,
                                         const char* videoCompressorName, const char* wavPath) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (wavPath == nullptr) return 0;
    return ImageToAvi(handle, {width, height, bitsPerPixel, frames, userData}, outputAviPath,
                      videoCompressorName, wavPath);
  });
}

KSV_EXPORT int32_t QMG_BuildPreviewClip(QmgHandle* handle, int32_t width, int32_t height,
                                        int32_t bitsPerPixel, QmgFrameCallback frames,
                                        intptr_t userData) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || frames == nullptr) return 0;
    if (!BuildPreviewClipGraph(*handle, {width, height, bitsPerPixel, frames, userData})) return 0;
    return Built(handle, kGraphPreviewClip);
  });
}

KSV_EXPORT int32_t QMG_AviMaker_MillisecondPerFrame(QmgHandle* handle, int32_t milliseconds) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || !handle->graph->aviMaker) return 0;
    GraphContext& context = *handle->graph;
    if (context.aviMaker->SetMillisecondsPerFrame(milliseconds) != S_OK) return 0;
    return PassPeriodOn(context) ? 1 : 0;
  });
}

}  // extern "C"
