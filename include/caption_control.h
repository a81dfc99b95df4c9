/* The caption filter ("Brontal Mocam Video Caption"): a video transform
 * with one input and one output that draws a line (or lines) of caption
 * text onto every frame passing through, with a built-in bitmap font. It
 * takes uncompressed bottom-up or top-down RGB24 and RGB32 video (what the
 * AVI Decompressor gives) and passes the same type on (what the Color Space
 * Converter takes). Captioning is off until a caption is set; with it off
 * the frames pass unchanged. */
#ifndef KSV_INCLUDE_CAPTION_CONTROL_H
#define KSV_INCLUDE_CAPTION_CONTROL_H

#include "include/win32_types.h"
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_MocamVideoCaption =
    ksv::com::Guid("6A1F0C52-8E3B-4D17-B5A9-2F4C8D7E3B02");
inline constexpr const char16_t* kCaptionFriendlyName = u"Brontal Mocam Video Caption";

/* A colour 0x00BBGGRR (a COLORREF); kCaptionTransparent as the background
 * draws only the letters. */
inline constexpr DWORD kCaptionTransparent = 0xFFFFFFFFu;

/* The font's cell: 5 x 7 letters in 6 x 8 pixels, scaled by a whole
 * number (the font height / 8, at least 1). */
inline constexpr LONG kCaptionCellWidth = 6;
inline constexpr LONG kCaptionCellHeight = 8;

/* The longest caption, in bytes without the terminating zero. */
inline constexpr size_t kCaptionMaxLength = 1024;

/* Until SetCaptionFont: 16 pixels high (scale 2), white letters on black,
 * 8 pixels from the picture's left and top edges. */
inline constexpr LONG kCaptionDefaultHeight = 16;
inline constexpr DWORD kCaptionDefaultColour = 0x00FFFFFFu;
inline constexpr DWORD kCaptionDefaultBackground = 0x00000000u;
inline constexpr LONG kCaptionDefaultX = 8;
inline constexpr LONG kCaptionDefaultY = 8;

struct ICaptionControl : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("63709A20-A29F-11D3-BB11-00A0CC667A6E");

  /* A copy of the caption in *caption: a zero-terminated string from
   * CoTaskMemAlloc that the caller frees with CoTaskMemFree ("" when
   * captioning is off). E_POINTER for a null `caption`. */
  virtual HRESULT GetCaption(char** caption) = 0;

  /* The caption to draw from the next frame on, copied: printable ASCII,
   * '\n' starts a new line, any other byte is drawn as '?'. Null or ""
   * turns captioning off. E_INVALIDARG for a caption longer than
   * kCaptionMaxLength (the caption stays as it was). */
  virtual HRESULT SetCaption(const char* caption) = 0;

  /* *on = TRUE when a caption is set. S_OK when captioning is on, S_FALSE
   * when it is off, E_POINTER for a null `on`. */
  virtual HRESULT IsCaptioning(BOOL* on) = 0;

  /* How the caption looks: `height` the cell height in pixels (8 to 256;
   * the letters scale by height / 8), `colour` of the letters and
   * `background` behind the caption's rectangle (colours 0x00BBGGRR, the
   * background also kCaptionTransparent), and the rectangle's top-left
   * corner `x`, `y` in pixels from the picture's top-left (0 or more; what
   * falls outside the picture is clipped). E_INVALIDARG for a value out of
   * range (nothing changes). */
  virtual HRESULT SetCaptionFont(LONG height, DWORD colour, DWORD background, LONG x, LONG y) = 0;

  /* Renders `text` (as SetCaption takes it, not empty) in the current font
   * and colours into a picture of its own size: a 24-bit bottom-up BI_RGB
   * bitmap, rows padded to 4 bytes, the background (black when it is
   * transparent) behind the letters. *header gets the picture's
   * BITMAPINFOHEADER and *size the bytes it needs (biSizeImage). With
   * `bits` null only the header and size are given; else *size says on
   * entry how many bytes `bits` holds and the pixels are written there.
   * S_OK; E_POINTER for a null `text`, `size` or `header`; E_INVALIDARG for
   * an empty or too long text; HRESULT_FROM_WIN32(ERROR_MORE_DATA) when the
   * buffer is too small (nothing written but the header and size). */
  virtual HRESULT GetStreamFromVideoText(const char* text, BYTE* bits, DWORD* size,
                                         BITMAPINFOHEADER* header) = 0;
 protected:
  ~ICaptionControl() = default;  /* objects go through Release */
};

inline constexpr IID IID_ICaptionControl = ICaptionControl::kIid;

#endif /* KSV_INCLUDE_CAPTION_CONTROL_H */
