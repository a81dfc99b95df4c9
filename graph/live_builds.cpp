// The live graphs: preview of a video capture device, microphone
// monitoring, video capture to AVI and audio capture to WAV.
#include <cstring>

#include "support/no_throw.h"
#include "graph/graph_routines.h"
#include "graph/live_graphs.h"

namespace ksv::graph {

using com::ComPtr;

namespace {

ComPtr<IAMStreamConfig> CaptureConfig(GraphContext& context, IBaseFilter* source) {
  ComPtr<IAMStreamConfig> config;
  if (FAILED(context.builder->FindInterface(&PIN_CATEGORY_CAPTURE, source, IID_IAMStreamConfig,
                                            reinterpret_cast<void**>(config.GetAddressOf())))) {
    return nullptr;
  }
  return config;
}

// The filters after the camera, each listed and connected to the one before.
struct ChainLink {
  const char* name;
  int32_t kind;
};
constexpr ChainLink kPreviewChain[] = {
    {"AVI Decompressor", kKindAviDecompressor},
    {"Brontal Mocam Video Caption", kKindCaption},
    {"Color Space Converter", kKindColourConverter},
    {"Video Renderer", kKindVideoRenderer},
};

bool BuildPreviewGraph(QmgHandle& handle, const char* deviceName, const QmgVideoFormat* format) {
  GraphContext& context = *handle.graph;
  IBaseFilter* source =
      FindFilterByFriendlyName(context, CLSID_VideoInputDeviceCategory, deviceName, kKindVideoDevice, false);
  if (source == nullptr) return false;
  context.videoSource = ComPtr<IBaseFilter>::Adopt(source);
  context.videoConfig = CaptureConfig(context, source);
  if (context.videoConfig && format != nullptr && !SelectFormat(context.videoConfig.Get(), *format)) return false;
  IBaseFilter* previous = source;
  IBaseFilter* caption = nullptr;
  for (const ChainLink& link : kPreviewChain) {
    IBaseFilter* next = FindFilterByFriendlyName(context, CLSID_LegacyAmFilterCategory, link.name, link.kind, true);
    if (next == nullptr || !ConnectFilters(previous, next)) return false;
    if (link.kind == kKindCaption) caption = next;
    previous = next;
  }
  caption->QueryInterface(IID_ICaptionControl, reinterpret_cast<void**>(context.caption.ReleaseAndGetAddressOf()));
  RecordGraphFilters(context, false);
  AttachControls(handle, true);
  return true;
}

bool BuildMicGraph(QmgHandle& handle, const char* deviceName) {
  GraphContext& context = *handle.graph;
  IBaseFilter* source =
      FindFilterByFriendlyName(context, CLSID_AudioInputDeviceCategory, deviceName, kKindAudioDevice, false);
  if (source == nullptr) return false;
  context.audioSource = ComPtr<IBaseFilter>::Adopt(source);
  context.audioConfig = CaptureConfig(context, source);
  IBaseFilter* renderer = FindFilterByFriendlyName(context, CLSID_AudioRendererCategory,
                                                   "Default DirectSound Device", kKindAudioRenderer, true);
  if (renderer == nullptr || !ConnectFilters(source, renderer)) return false;
  RecordGraphFilters(context, false);
  AttachControls(handle, false);
  return true;
}

// The capture graph after the video device was found: the steps stop at
// the first failure, and the build still counts as made.
void BuildCaptureRest(QmgHandle& handle, const QmgVideoFormat* format, const char* videoCompressorName,
                      const char* audioDeviceName, const char* audioCompressorName, const char* outputAviPath) {
  GraphContext& context = *handle.graph;
  IBaseFilter* source = context.videoSource.Get();
  context.videoConfig = CaptureConfig(context, source);
  if (!context.videoConfig) return;
  if (format != nullptr && !SelectFormat(context.videoConfig.Get(), *format)) return;
  std::u16string path = Wide(outputAviPath);
  if (path.size() > 260) path.resize(260);
  ComPtr<IBaseFilter> mux;
  ComPtr<IFileSinkFilter> sink;
  if (FAILED(context.builder->SetOutputFileName(&MEDIASUBTYPE_Avi, path.c_str(), mux.GetAddressOf(),
                                                sink.GetAddressOf()))) {
    return;
  }
  ComPtr<IConfigAviMux> config;
  if (SUCCEEDED(mux.As(&config))) config->SetOutputCompatibilityIndex(TRUE);
  ComPtr<IBaseFilter> compressor;
  if (videoCompressorName != nullptr) {
    compressor.Attach(FindFilterByFriendlyName(context, CLSID_VideoCompressorCategory, videoCompressorName,
                                               kKindVideoCompressor, false));
  }
  if (FAILED(context.builder->RenderStream(&PIN_CATEGORY_CAPTURE, source, compressor.Get(), mux.Get()))) return;
  const HRESULT preview = context.builder->RenderStream(&PIN_CATEGORY_PREVIEW, source, nullptr, nullptr);
  if (preview != S_OK && preview != VFW_S_NOPREVIEWPIN) return;
  if (audioDeviceName != nullptr) {
    IBaseFilter* audio =
        FindFilterByFriendlyName(context, CLSID_AudioInputDeviceCategory, audioDeviceName, kKindAudioDevice, false);
    if (audio != nullptr) {
      context.audioSource = ComPtr<IBaseFilter>::Adopt(audio);
      ComPtr<IBaseFilter> audioCompressor;
      if (audioCompressorName != nullptr) {
        audioCompressor.Attach(FindFilterByFriendlyName(context, CLSID_AudioCompressorCategory, audioCompressorName,
                                                        kKindAudioCompressor, false));
      }
      if (FAILED(context.builder->RenderStream(&PIN_CATEGORY_CAPTURE, audio, audioCompressor.Get(), mux.Get()))) {
        return;
      }
    }
  }
  RecordGraphFilters(context, true);
  AttachControls(handle, true);
}

bool BuildCaptureAudioGraph(QmgHandle& handle, const char* deviceName, const char* compressorName,
                            const char* outputWavPath) {
  GraphContext& context = *handle.graph;
  IBaseFilter* source =
      FindFilterByFriendlyName(context, CLSID_AudioInputDeviceCategory, deviceName, kKindAudioDevice, true);
  if (source == nullptr) return false;
  // The list owns the source; the context keeps a reference of its own.
  context.audioSource = ComPtr<IBaseFilter>(source);
  IBaseFilter* end = source;
  if (compressorName != nullptr) {
    IBaseFilter* compressor =
        FindFilterByFriendlyName(context, CLSID_AudioCompressorCategory, compressorName, kKindAudioCompressor, true);
    if (compressor != nullptr) {
      if (!ConnectFilters(source, compressor)) return false;
      end = compressor;
    }
  }
  IBaseFilter* wavDest = CreateFilter(context, CLSID_WavDest, kKindWavDest, true);
  if (wavDest == nullptr || !ConnectFilters(end, wavDest)) return false;
  if (!AddFileWriter(context, outputWavPath, false) || !ConnectFilters(wavDest, context.wavWriter)) return false;
  // Controls and events, so that a client can run the graph it asked for.
  AttachControls(handle, false);
  return true;
}

// Keeps the device name (and the format, when one was given) of the last
// preview or video capture build.
void Remember(QmgHandle& handle, const char* deviceName, const QmgVideoFormat* format) {
  char name[sizeof handle.deviceName] = {};
  std::strncpy(name, deviceName, sizeof name - 1);
  std::memcpy(handle.deviceName, name, sizeof name);
  handle.hasFormat = format != nullptr;
  if (format != nullptr) handle.format = *format;
}

}  // namespace

void RebuildPreview(QmgHandle& handle, const QmgVideoFormat* format, bool resume) {
  StopAndDestroy(handle);
  handle.graph = CreateGraphContext();
  char deviceName[sizeof handle.deviceName];
  std::memcpy(deviceName, handle.deviceName, sizeof deviceName);
  QMG_BuildPreview(&handle, deviceName, format);
  if (handle.viewWindow != nullptr && handle.graph != nullptr) {
    ApplyViewWindow(*handle.graph, handle.viewWindow, handle.viewX, handle.viewY, handle.viewWidth,
                    handle.viewHeight);
  }
  if (resume) QMG_Play(&handle);
}

}  // namespace ksv::graph

using namespace ksv::graph;

extern "C" {

KSV_EXPORT int32_t QMG_BuildPreview(QmgHandle* handle, const char* deviceName, const QmgVideoFormat* format) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || deviceName == nullptr) return 0;
    if (!BuildPreviewGraph(*handle, deviceName, format)) return 0;
    Remember(*handle, deviceName, format);
    handle->graphKind = kGraphPreview;
    DispatchEvent(QMG_CODE_BUILT, handle);
    handle->mediaState = QMG_STATE_STOPPED;
    return 1;
  });
}

KSV_EXPORT int32_t QMG_BuildPreview_Mic(QmgHandle* handle, const char* audioDeviceName) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || audioDeviceName == nullptr) return 0;
    return BuildMicGraph(*handle, audioDeviceName) ? 1 : 0;
  });
}

KSV_EXPORT int32_t QMG_BuildCaptureVideo(QmgHandle* handle, const char* deviceName, const QmgVideoFormat* format,
                                         const char* videoCompressorName, const char* audioDeviceName,
                                         const char* audioCompressorName, const char* outputAviPath) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || deviceName == nullptr || outputAviPath == nullptr) return 0;
    GraphContext& context = *handle->graph;
    IBaseFilter* source =
        FindFilterByFriendlyName(context, CLSID_VideoInputDeviceCategory, deviceName, kKindVideoDevice, false);
    int32_t built = 0;
    if (source != nullptr) {
      context.videoSource = ComPtr<IBaseFilter>::Adopt(source);
      BuildCaptureRest(*handle, format, videoCompressorName, audioDeviceName, audioCompressorName, outputAviPath);
      built = 1;
    }
    Remember(*handle, deviceName, format);
    handle->graphKind = kGraphCaptureVideo;
    DispatchEvent(QMG_CODE_BUILT, handle);
    handle->mediaState = QMG_STATE_STOPPED;
    return built;
  });
}

KSV_EXPORT int32_t QMG_BuildCaptureAudio(QmgHandle* handle, const char* audioDeviceName,
                                         const char* audioCompressorName, const char* outputWavPath) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || handle->graph == nullptr || audioDeviceName == nullptr || outputWavPath == nullptr) {
      return 0;
    }
    const bool built = BuildCaptureAudioGraph(*handle, audioDeviceName, audioCompressorName, outputWavPath);
    handle->graphKind = kGraphCaptureAudio;
    handle->mediaState = QMG_STATE_STOPPED;
    return built ? 1 : 0;
  });
}

}  // extern "C"
