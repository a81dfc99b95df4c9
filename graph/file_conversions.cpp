// The builds that turn media files into other files: a WAV file
// recompressed, an AVI and a WAV file merged into one AVI, and a file split
// into a video-only AVI and a WAV file.
#include "support/no_throw.h"
#include "graph/graph_routines.h"
#include "graph/quick_compress.h"
#include "graph/source_file.h"
#include "platform/media/filter_ids.h"

namespace ksv::graph {

namespace {

bool Usable(const QmgHandle* handle) { return handle != nullptr && handle->graph != nullptr; }

// Connects the sound to the compressor; sound the compressor does not take
// (already compressed: IMA ADPCM, mu-law) is decoded to PCM first by the
// ACM Wrapper.
bool ConnectToCompressor(GraphContext& context, IBaseFilter* compressor) {
  if (ConnectFilters(context.audioTail, compressor)) return true;
  IBaseFilter* decoder = CreateFilter(context, CLSID_ACMWrapper, kKindAudioCompressor, true);
  if (decoder == nullptr || !ConnectFilters(context.audioTail, decoder)) return false;
  context.audioTail = decoder;
  return ConnectFilters(decoder, compressor);
}

// The source's sound through the named audio compressor and WAV Dest into
// the file.
bool BuildCompressedWav(QmgHandle& handle, const char* sourcePath, const char* outputWavPath,
                        const char* compressorName) {
  GraphContext& context = *handle.graph;
  if (!OpenSourceFile(context, sourcePath, kWantAudio) || context.audioTail == nullptr) return false;
  IBaseFilter* compressor = FindFilterByFriendlyName(context, CLSID_AudioCompressorCategory,
                                                     compressorName, kKindAudioCompressor, true);
  if (compressor == nullptr || !ConnectToCompressor(context, compressor)) return false;
  IBaseFilter* wavDest = CreateFilter(context, CLSID_WavDest, kKindWavDest, true);
  if (wavDest == nullptr || !ConnectFilters(compressor, wavDest)) return false;
  if (!AddFileWriter(context, outputWavPath, false) || !ConnectFilters(wavDest, context.wavWriter)) {
    return false;
  }
  AttachControls(handle, false);
  return true;
}

// The video of one file and the sound of another into the AVI Mux and the
// output file. A video file that gives no video stream (a WAV file) fails.
bool BuildMerge(QmgHandle& handle, const char* aviPath, const char* wavPath, const char* outputAviPath) {
  GraphContext& context = *handle.graph;
  if (!OpenSourceFile(context, aviPath, kWantVideo) || !OpenSourceFile(context, wavPath, kWantAudio) ||
      !AddFileWriter(context, outputAviPath, true)) {
    return false;
  }
  if (context.videoTail == nullptr || context.audioTail == nullptr) return false;
  IBaseFilter* mux = CreateFilter(context, CLSID_AviDest, kKindAviMux, true);
  if (mux == nullptr || !ConnectFilters(mux, context.aviWriter) ||
      !ConnectFilters(context.videoTail, mux) || !ConnectFilters(context.audioTail, mux)) {
    return false;
  }
  RecordGraphFilters(context, false);
  AttachControls(handle, true);
  return true;
}

// Puts the named compressor after the tail; a name that matches nothing
// leaves the tail as it is.
bool AddCompressorAfter(IBaseFilter*& tail, IBaseFilter* compressor) {
  if (tail == nullptr || compressor == nullptr) return true;
  if (!ConnectFilters(tail, compressor)) return false;
  tail = compressor;
  return true;
}

// The source's video (through the video compressor, when named) into an
// AVI file of its own, and its sound (through the audio compressor) into a
// WAV file.
bool BuildSplit(QmgHandle& handle, const char* sourcePath, const char* outputAviPath,
                const char* outputWavPath, const char* videoCompressorName,
                const char* audioCompressorName) {
  GraphContext& context = *handle.graph;
  if (!OpenSourceFileForSplit(context, sourcePath)) return false;
  IBaseFilter* videoCompressor = nullptr;
  if (videoCompressorName != nullptr) {
    videoCompressor = FindFilterByFriendlyName(context, CLSID_VideoCompressorCategory,
                                               videoCompressorName, kKindVideoCompressor, true);
    QuickCompress(videoCompressor, true);
  }
  IBaseFilter* audioCompressor = nullptr;
  if (audioCompressorName != nullptr) {
    audioCompressor = FindFilterByFriendlyName(context, CLSID_AudioCompressorCategory,
                                               audioCompressorName, kKindAudioCompressor, true);
  }
  if (!AddCompressorAfter(context.videoTail, videoCompressor) ||
      !AddCompressorAfter(context.audioTail, audioCompressor)) {
    return false;
  }
  IBaseFilter* mux = nullptr;
  if (outputAviPath != nullptr) {
    if (!AddFileWriter(context, outputAviPath, true)) return false;
    mux = CreateFilter(context, CLSID_AviDest, kKindAviMux, true);
    if (mux == nullptr || !ConnectFilters(mux, context.aviWriter)) return false;
  }
  if (outputWavPath != nullptr && context.audioTail != nullptr) {
    IBaseFilter* wavDest = CreateFilter(context, CLSID_WavDest, kKindWavDest, true);
    if (wavDest == nullptr || !ConnectFilters(context.audioTail, wavDest) ||
        !AddFileWriter(context, outputWavPath, false) || !ConnectFilters(wavDest, context.wavWriter)) {
      return false;
    }
  }
  if (context.videoTail != nullptr && mux != nullptr && !ConnectFilters(context.videoTail, mux)) {
    return false;
  }
  // Attached so that a client can run the graph it asked for.
  AttachControls(handle, false);
  return true;
}

}  // namespace

}  // namespace ksv::graph

using namespace ksv::graph;

extern "C" {

KSV_EXPORT int32_t QMG_CompressedWAV(QmgHandle* handle, const char* sourcePath, const char* outputWavPath,
                                     const char* audioCompressorName) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (!Usable(handle) || sourcePath == nullptr || outputWavPath == nullptr || audioCompressorName == nullptr) {
      return 0;
    }
    return BuildCompressedWav(*handle, sourcePath, outputWavPath, audioCompressorName) ? 1 : 0;
  });
}

KSV_EXPORT int32_t QMG_Merge_AVI_WAV_2_AVI(QmgHandle* handle, const char* aviPath, const char* wavPath,
                                           const char* outputAviPath) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (!Usable(handle) || aviPath == nullptr || wavPath == nullptr || outputAviPath == nullptr) return 0;
    return BuildMerge(*handle, aviPath, wavPath, outputAviPath) ? 1 : 0;
  });
}

KSV_EXPORT int32_t QMG_BuildAVI2AviWave(QmgHandle* handle, const char* sourcePath, const char* outputAviPath,
                                        const char* outputWavPath, const char* videoCompressorName,
                                        const char* audioCompressorName) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (!Usable(handle) || sourcePath == nullptr || (outputAviPath == nullptr && outputWavPath == nullptr)) {
      return 0;
    }
    if (!BuildSplit(*handle, sourcePath, outputAviPath, outputWavPath, videoCompressorName,
                    audioCompressorName)) {
      return 0;
    }
    handle->graphKind = kGraphSplit;
    return 1;
  });
}

}  // extern "C"
