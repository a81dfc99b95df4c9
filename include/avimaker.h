/* The AVI maker filter ("RMC900 AVI Maker"): a source filter whose one
 * output pin carries uncompressed video frames that it asks a client's
 * callback for, one frame per sample. A client finds it by friendly name in
 * the legacy filter category, sets it up through IAviMakerControl, connects
 * its output to a video compressor, the AVI Mux or the Color Space
 * Converter, and runs the graph; when the callback says there are no more
 * frames the filter ends the stream, so the graph completes by itself
 * (EC_COMPLETE). */
#ifndef KSV_INCLUDE_AVIMAKER_H
#define KSV_INCLUDE_AVIMAKER_H

#include <stdint.h>

#include "include/win32_types.h"
#include "platform/com/unknown.h"

/* Called on the filter's streaming thread, once per frame, with a buffer of
 * width x height x bitsPerPixel / 8 bytes and the user data given to Setup.
 * The client writes one picture into it: rows bottom-up (the bottom row
 * first), each row exactly width x bitsPerPixel / 8 bytes with no padding
 * (the filter pads the rows of the video samples itself), pixels as in a
 * BI_RGB bitmap (16 bits: X1R5G5B5; 24 bits: B, G, R; 32 bits: B, G, R, X).
 * Returns non-zero when it delivered a frame, 0 when there are no more
 * frames: the buffer is then ignored, the filter sends the end of the
 * stream and does not call again until the graph is stopped and run anew. */
typedef int32_t (*AviMakerFrameCallback)(BYTE* frame, intptr_t userData);

/* The filter's class; clients normally find it by its friendly name. */
inline constexpr CLSID CLSID_RMC900AviMaker = ksv::com::Guid("0B7E3A61-5C2D-4F88-9A41-6D2C7E1F0A01");
inline constexpr const char16_t* kAviMakerFriendlyName = u"RMC900 AVI Maker";

/* The default frame period, 100 ms (10 frames a second), until
 * SetMillisecondsPerFrame says otherwise. */
inline constexpr LONG kAviMakerDefaultMilliseconds = 100;

struct IAviMakerControl : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("4549D01B-69EF-4B47-98E2-7BC3FA857756");

  /* The picture the output pin carries and where its frames come from.
   * width and height 1..8192, bitsPerPixel 16, 24 or 32, a callback
   * required: else E_INVALIDARG (and nothing changes). The pin offers one
   * type: MEDIATYPE_Video, FORMAT_VideoInfo, MEDIASUBTYPE_RGB555 / RGB24 /
   * RGB32, a bottom-up BI_RGB bitmap. VFW_E_ALREADY_CONNECTED once the
   * output is connected (the type is fixed then). */
  virtual HRESULT Setup(LONG width, LONG height, LONG bitsPerPixel, AviMakerFrameCallback callback,
                        intptr_t userData) = 0;

  /* The time between frames, in milliseconds (1 or more, else
   * E_INVALIDARG). Frame n is stamped n x milliseconds from the start of
   * the stream and the type carries the period (AvgTimePerFrame). When the
   * output is already connected, the filter asks its graph to reconnect it
   * so the downstream filter sees the new period; while the graph runs or
   * is paused, VFW_E_NOT_STOPPED. */
  virtual HRESULT SetMillisecondsPerFrame(LONG milliseconds) = 0;
 protected:
  ~IAviMakerControl() = default;  /* objects go through Release */
};

inline constexpr IID IID_IAviMakerControl = IAviMakerControl::kIid;

#endif /* KSV_INCLUDE_AVIMAKER_H */
