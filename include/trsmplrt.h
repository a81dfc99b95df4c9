/* The sample-rate converter filter ("Tarvio Sample Rate Convert", module
 * trsmplrt): a transform with one input and one output that converts PCM
 * sound between sample rates (6025 to 48000 Hz), mono and stereo, and
 * unsigned 8-bit and signed 16-bit samples. Its output format is either
 * fixed (the configured format, the default) or left to negotiation; a
 * client sets it through ISampleRateConfig before the output connects.
 * The filter's property page edits the same settings. */
#ifndef KSV_INCLUDE_TRSMPLRT_H
#define KSV_INCLUDE_TRSMPLRT_H

#include "include/win32_types.h"
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_SampleRateConverter =
    ksv::com::Guid("1B122EA0-139C-11D5-B7CF-009027941EAF");
inline constexpr CLSID CLSID_SampleRateConverterPage =
    ksv::com::Guid("1B122EA1-139C-11D5-B7CF-009027941EAF");

/* The name the filter mapper lists the filter under. */
inline constexpr const char16_t* kSampleRateConverterName = u"Tarvio Sample Rate Convert";

/* Posted to the window given by SetPageWindow when the output starts
 * streaming (lParam 0: the format may not change now) and when it stops
 * (lParam 1). */
inline constexpr UINT kSampleRateStreamingMessage = 1124;

/* The configured format until a client changes it: 22050 Hz mono 16 bit,
 * output restricted to it. */
inline constexpr LONG kSampleRateDefaultRate = 22050;
inline constexpr SHORT kSampleRateDefaultChannels = 1;
inline constexpr SHORT kSampleRateDefaultBits = 16;

struct ISampleRateConfig : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("84862752-D36D-11CF-97CB-00AA00B43FA9");

  /* The configured output format. E_INVALIDARG for a null pointer. */
  virtual HRESULT GetRate(LONG* rate) = 0;
  virtual HRESULT GetChannels(SHORT* channels) = 0;
  virtual HRESULT GetBitsPerSample(SHORT* bits) = 0;
  /* 0: the output type must be the configured format; otherwise any
   * format the input can become is negotiated. E_POINTER for null. */
  virtual HRESULT GetDefaultNegotiation(LONG* negotiate) = 0;
  /* Stored for the next output connection (an unusable format makes that
   * connection fail). */
  virtual HRESULT SetRate(LONG rate) = 0;
  virtual HRESULT SetChannels(SHORT channels) = 0;
  virtual HRESULT SetBitsPerSample(SHORT bits) = 0;
  virtual HRESULT SetDefaultNegotiation(LONG negotiate) = 0;
  /* The window of an open property page, told of streaming state with
   * kSampleRateStreamingMessage; null when none is open. */
  virtual HRESULT SetPageWindow(HWND window) = 0;
  /* *stopped = 1 when the filter is stopped, else 0. E_POINTER for null. */
  virtual HRESULT IsStopped(LONG* stopped) = 0;
  /* Asks the graph to reconnect the output pin, so a changed format takes
   * effect: E_POINTER when the output is not connected, 0x80028029 when
   * the filter is not stopped, else the graph's answer. */
  virtual HRESULT Reconnect() = 0;
  /* The filter's merit for the filter mapper, as the REG_DWORD "Merit" of
   * its class key (created when missing). Registry failures come back as
   * HRESULT_FROM_WIN32 of the registry's code; GetMerit gives E_POINTER
   * for null. */
  virtual HRESULT SetMerit(DWORD merit) = 0;
  virtual HRESULT GetMerit(DWORD* merit) = 0;

 protected:
  ~ISampleRateConfig() = default; /* objects go through Release */
};
inline constexpr IID IID_ISampleRateConfig = ISampleRateConfig::kIid;

#endif /* KSV_INCLUDE_TRSMPLRT_H */
