// The interfaces particular filters offer for configuration: stream formats
// of a capture pin (IAMStreamConfig), source and sink files (IFileSourceFilter,
// IFileSinkFilter, IFileSinkFilter2) and the pull-model reader a file source
// gives its parser (IAsyncReader).
#pragma once

#include "include/win32_types.h"
#include "platform/com/property_page.h"  // ISpecifyPropertyPages, CAUUID
#include "platform/com/unknown.h"
#include "platform/media/media_types.h"
#include "platform/media/sample_interfaces.h"

// What a video capture pin can produce for one media type of GetStreamCaps.
struct VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;  // format type
  ULONG VideoStandard;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int CropGranularityX;
  int CropGranularityY;
  int CropAlignX;
  int CropAlignY;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int OutputGranularityX;
  int OutputGranularityY;
  int StretchTapsX;
  int StretchTapsY;
  int ShrinkTapsX;
  int ShrinkTapsY;
  LONGLONG MinFrameInterval;
  LONGLONG MaxFrameInterval;
  LONG MinBitsPerSecond;
  LONG MaxBitsPerSecond;
};

// What an audio capture pin can produce for one media type of GetStreamCaps.
struct AUDIO_STREAM_CONFIG_CAPS {
  GUID guid;
  ULONG MinimumChannels;
  ULONG MaximumChannels;
  ULONG ChannelsGranularity;
  ULONG MinimumBitsPerSample;
  ULONG MaximumBitsPerSample;
  ULONG BitsPerSampleGranularity;
  ULONG MinimumSampleFrequency;
  ULONG MaximumSampleFrequency;
  ULONG SampleFrequencyGranularity;
};

struct IAMStreamConfig : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("C6E13340-30AC-11D0-A18C-00A0C9118956");
  // The format the pin will use on its next connection.
  virtual HRESULT SetFormat(AM_MEDIA_TYPE* type) = 0;
  // The current (or preferred) format; the caller frees it with DeleteMediaType.
  virtual HRESULT GetFormat(AM_MEDIA_TYPE** type) = 0;
  // How many capability records there are and the size of one (the size of
  // VIDEO_STREAM_CONFIG_CAPS or AUDIO_STREAM_CONFIG_CAPS).
  virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
  // Media type `index` (DeleteMediaType) and its capabilities in `caps`
  // (room for the size GetNumberOfCapabilities gave); S_FALSE past the end.
  virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) = 0;

 protected:
  ~IAMStreamConfig() = default;
};

struct IFileSourceFilter : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A868A6-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
  // The file name in task memory (CoTaskMemFree) and, when `type` is not
  // null, the media type (FreeMediaType).
  virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;

 protected:
  ~IFileSourceFilter() = default;
};

struct IFileSinkFilter : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("A2104830-7C70-11CF-8BCE-00AA00A3F1A6");
  virtual HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;

 protected:
  ~IFileSinkFilter() = default;
};

// IFileSinkFilter2 modes: replace the file's contents instead of writing
// over them in place.
inline constexpr DWORD AM_FILE_OVERWRITE = 0x00000001;

struct IFileSinkFilter2 : IFileSinkFilter {
  static constexpr IID kIid = ksv::com::Guid("00855B90-CE1B-11D0-BD4F-00A0C911CE86");
  virtual HRESULT SetMode(DWORD flags) = 0;
  virtual HRESULT GetMode(DWORD* flags) = 0;

 protected:
  ~IFileSinkFilter2() = default;
};

// Random-access reads of a byte stream, for a parser pulling from a source.
struct IAsyncReader : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A868AA-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                   IMemAllocator** actual) = 0;
  // Queues a read into `sample` of the bytes its times name (start and end
  // byte positions times UNITS); WaitForNext hands the sample back.
  virtual HRESULT Request(IMediaSample* sample, ULONG_PTR user) = 0;
  virtual HRESULT WaitForNext(DWORD milliseconds, IMediaSample** sample, ULONG_PTR* user) = 0;
  virtual HRESULT SyncReadAligned(IMediaSample* sample) = 0;
  // S_FALSE when fewer than `length` bytes were read (the end of the file).
  virtual HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) = 0;
  virtual HRESULT Length(LONGLONG* total, LONGLONG* available) = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;

 protected:
  ~IAsyncReader() = default;
};

// The AVI multiplexer's index and master stream.
struct IConfigAviMux : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("5ACD6AA0-F482-11CE-8B67-00AA00A3F1A6");
  // The stream the others are timed against; -1: none.
  virtual HRESULT SetMasterStream(LONG stream) = 0;
  virtual HRESULT GetMasterStream(LONG* stream) = 0;
  // TRUE: an AVI 1.0 index (idx1) besides the AVI 2.0 one (indx), which
  // is always written.
  virtual HRESULT SetOutputCompatibilityIndex(BOOL oldIndex) = 0;
  virtual HRESULT GetOutputCompatibilityIndex(BOOL* oldIndex) = 0;

 protected:
  ~IConfigAviMux() = default;
};

// How the AVI multiplexer orders the chunks of its streams in the file.
enum InterleavingMode : int {
  INTERLEAVE_NONE = 0,           // in the order they arrive
  INTERLEAVE_CAPTURE = 1,        // approximately, cheaply: for capture
  INTERLEAVE_FULL = 2,           // by time across the streams
  INTERLEAVE_NONE_BUFFERED = 3,  // as INTERLEAVE_NONE
};

struct IConfigInterleaving : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("BEE3D220-157B-11D0-BD23-00A0C911CE86");
  virtual HRESULT put_Mode(InterleavingMode mode) = 0;
  virtual HRESULT get_Mode(InterleavingMode* mode) = 0;
  // The length of one interleaved group and the audio written before the
  // first video frame, in 100-ns units.
  virtual HRESULT put_Interleaving(const REFERENCE_TIME* interleave,
                                   const REFERENCE_TIME* preroll) = 0;
  virtual HRESULT get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) = 0;

 protected:
  ~IConfigInterleaving() = default;
};

inline constexpr IID IID_IAMStreamConfig = IAMStreamConfig::kIid;
inline constexpr IID IID_IFileSourceFilter = IFileSourceFilter::kIid;
inline constexpr IID IID_IFileSinkFilter = IFileSinkFilter::kIid;
inline constexpr IID IID_IFileSinkFilter2 = IFileSinkFilter2::kIid;
inline constexpr IID IID_IAsyncReader = IAsyncReader::kIid;
inline constexpr IID IID_IConfigAviMux = IConfigAviMux::kIid;
inline constexpr IID IID_IConfigInterleaving = IConfigInterleaving::kIid;
