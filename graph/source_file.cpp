#include "graph/source_file.h"

#include "graph/graph_routines.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media_guids.h"
#include "platform/media/pin_search.h"

namespace ksv::graph {

using com::ComPtr;

namespace {

enum class SourceStream { kUnknown, kMpeg1System, kAvi, kWave };

// The subtype of the first media type of the source's first output pin.
SourceStream ClassifySource(IBaseFilter* source) {
  for (const ComPtr<IPin>& held : media::PinsOf(source, PINDIR_OUTPUT)) {
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(held->EnumMediaTypes(types.GetAddressOf()))) return SourceStream::kUnknown;
    AM_MEDIA_TYPE* type = nullptr;
    if (types->Next(1, &type, nullptr) != S_OK || type == nullptr) return SourceStream::kUnknown;
    const GUID subtype = type->subtype;
    DeleteMediaType(type);
    if (subtype == MEDIASUBTYPE_MPEG1System) return SourceStream::kMpeg1System;
    if (subtype == MEDIASUBTYPE_Avi) return SourceStream::kAvi;
    if (subtype == MEDIASUBTYPE_WAVE) return SourceStream::kWave;
    return SourceStream::kUnknown;
  }
  return SourceStream::kUnknown;
}

// A listed file source with `path` loaded; null on failure.
IBaseFilter* AddFileSource(GraphContext& context, const char* path) {
  IBaseFilter* source = CreateFilter(context, CLSID_AsyncReader, kKindFileSource, true);
  if (source == nullptr) return nullptr;
  ComPtr<IFileSourceFilter> file;
  if (FAILED(source->QueryInterface(IID_IFileSourceFilter,
                                    reinterpret_cast<void**>(file.GetAddressOf())))) {
    return nullptr;
  }
  const std::u16string wide = Wide(path);
  if (FAILED(file->Load(wide.c_str(), nullptr))) return nullptr;
  return source;
}

// A listed filter made from `clsid` and connected after `upstream`.
IBaseFilter* AddConnected(GraphContext& context, IBaseFilter* upstream, REFCLSID clsid,
                          int32_t kind) {
  IBaseFilter* filter = CreateFilter(context, clsid, kind, true);
  if (filter == nullptr || !ConnectFilters(upstream, filter)) return nullptr;
  return filter;
}

void ClearTails(GraphContext& context, int32_t wanted) {
  if (wanted & kWantVideo) context.videoTail = nullptr;
  if (wanted & kWantAudio) context.audioTail = nullptr;
}

// The MPEG-1 splitter and the decoder of each wanted stream. `together`:
// the tails are set only once every wanted decoder connected.
bool OpenMpeg1(GraphContext& context, IBaseFilter* source, int32_t wanted, bool together) {
  IBaseFilter* splitter = AddConnected(context, source, CLSID_MPEG1Splitter, kKindMpeg1Splitter);
  if (splitter == nullptr) return false;
  IBaseFilter* video = nullptr;
  if (wanted & kWantVideo) {
    video = AddConnected(context, splitter, CLSID_CMpegVideoCodec, kKindMpegVideoDecoder);
    if (video == nullptr) return false;
    if (!together) context.videoTail = video;
  }
  if (!(wanted & kWantAudio)) return true;
  IBaseFilter* audio = AddConnected(context, splitter, CLSID_CMpegAudioCodec, kKindMpegAudioDecoder);
  if (audio == nullptr) return false;
  context.audioTail = audio;
  if (together) context.videoTail = video;
  return true;
}

bool OpenAvi(GraphContext& context, IBaseFilter* source, int32_t wanted) {
  IBaseFilter* splitter = AddConnected(context, source, CLSID_AviSplitter, kKindAviSplitter);
  if (splitter == nullptr) return false;
  if (wanted & kWantVideo) context.videoTail = splitter;
  if (wanted & kWantAudio) context.audioTail = splitter;
  return true;
}

bool OpenWave(GraphContext& context, IBaseFilter* source) {
  IBaseFilter* parser = FindFilterByFriendlyName(context, CLSID_LegacyAmFilterCategory,
                                                 "Wave Parser", kKindWaveParser, true);
  if (parser == nullptr || !ConnectFilters(source, parser)) return false;
  context.audioTail = parser;
  return true;
}

bool Open(GraphContext& context, const char* path, int32_t wanted, bool forSplit) {
  if (wanted != kWantVideo && wanted != kWantAudio && wanted != kWantBoth) return false;
  ClearTails(context, wanted);
  if (path == nullptr) return false;
  IBaseFilter* source = AddFileSource(context, path);
  if (source == nullptr) return false;
  switch (ClassifySource(source)) {
    case SourceStream::kMpeg1System:
      return OpenMpeg1(context, source, wanted, forSplit);
    case SourceStream::kAvi:
      return OpenAvi(context, source, wanted);
    case SourceStream::kWave:
      return forSplit || OpenWave(context, source);
    case SourceStream::kUnknown:
      break;
  }
  return false;
}

}  // namespace

bool OpenSourceFile(GraphContext& context, const char* path, int32_t wanted) {
  return Open(context, path, wanted, false);
}

bool OpenSourceFileForSplit(GraphContext& context, const char* path) {
  return Open(context, path, kWantBoth, true);
}

}  // namespace ksv::graph
