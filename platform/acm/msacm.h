// The Audio Compression Manager as callers reach it: acmMetrics for the
// largest format block (ACM_METRIC_MAX_SIZE_FORMAT) and acmFormatChooseA,
// the dialog in which a person picks a wave format. The formats are those
// of our codecs (acm_formats.h): PCM, IMA ADPCM, CCITT A-Law and u-Law.
//
// The dialog is a modal dialog of the dialog model (platform/ui/dialogs)
// on the caller's thread: a list of formats, OK and Cancel. Who chooses
// is set per process with SetFormatChooser (format_chooser.h): a chooser
// is called on the dialog's thread once its loop runs and may feed it
// input (platform/ui/input.h) as a person would, or leave it to a person
// at the screen. With no chooser set there is nobody to choose: the call
// returns ACMERR_CANCELED at once, so no program or test waits forever.
//
// ACMFORMATCHOOSEA keeps the documented field order. On the original
// 32-bit platform it is 232 bytes; here the pointer and handle fields
// (hwndOwner, pwfx, pszTitle, pszName, pwfxEnum, hInstance,
// pszTemplateName, lCustData, pfnHook) are 8 bytes, so it is 280.
//
// Where this differs from the platform: the hook and template styles
// (ACMFORMATCHOOSE_STYLEF_ENABLEHOOK, _ENABLETEMPLATE, _ENABLETEMPLATEHANDLE)
// are refused with MMSYSERR_NOTSUPPORTED; help styles are ignored; every
// format counts as one the hardware records (ACM_FORMATENUMF_HARDWARE,
// _INPUT and _OUTPUT restrict nothing), while _WFORMATTAG, _NCHANNELS,
// _NSAMPLESPERSEC and _WBITSPERSAMPLE keep the formats whose field equals
// pwfxEnum's.
#pragma once

#include "include/win32_types.h"
#include "platform/media/formats.h"

typedef UINT MMRESULT;
typedef struct HACMOBJ__* HACMOBJ;

// Results.
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT ACMERR_BASE = 512;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = ACMERR_BASE + 0;
inline constexpr MMRESULT ACMERR_BUSY = ACMERR_BASE + 1;
inline constexpr MMRESULT ACMERR_UNPREPARED = ACMERR_BASE + 2;
inline constexpr MMRESULT ACMERR_CANCELED = ACMERR_BASE + 3;

// Metrics.
inline constexpr UINT ACM_METRIC_COUNT_DRIVERS = 1;
inline constexpr UINT ACM_METRIC_COUNT_CODECS = 2;
inline constexpr UINT ACM_METRIC_MAX_SIZE_FORMAT = 50;

// Format choice styles.
inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_SHOWHELP = 0x00000004;
inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_ENABLEHOOK = 0x00000008;
inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_ENABLETEMPLATE = 0x00000010;
inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_ENABLETEMPLATEHANDLE = 0x00000020;
inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT = 0x00000040;
inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_CONTEXTHELP = 0x00000080;

// Format enumeration flags.
inline constexpr DWORD ACM_FORMATENUMF_WFORMATTAG = 0x00010000;
inline constexpr DWORD ACM_FORMATENUMF_NCHANNELS = 0x00020000;
inline constexpr DWORD ACM_FORMATENUMF_NSAMPLESPERSEC = 0x00040000;
inline constexpr DWORD ACM_FORMATENUMF_WBITSPERSAMPLE = 0x00080000;
inline constexpr DWORD ACM_FORMATENUMF_CONVERT = 0x00100000;
inline constexpr DWORD ACM_FORMATENUMF_SUGGEST = 0x00200000;
inline constexpr DWORD ACM_FORMATENUMF_HARDWARE = 0x00400000;
inline constexpr DWORD ACM_FORMATENUMF_INPUT = 0x00800000;
inline constexpr DWORD ACM_FORMATENUMF_OUTPUT = 0x01000000;

inline constexpr int ACMFORMATTAGDETAILS_FORMATTAG_CHARS = 48;
inline constexpr int ACMFORMATDETAILS_FORMAT_CHARS = 128;

typedef UINT (*ACMFORMATCHOOSEHOOKPROCA)(HWND, UINT, WPARAM, LPARAM);

struct ACMFORMATCHOOSEA {
  DWORD cbStruct;          // sizeof(ACMFORMATCHOOSEA) or more
  DWORD fdwStyle;          // ACMFORMATCHOOSE_STYLEF_*
  HWND hwndOwner;          // disabled while the dialog runs; may be null
  WAVEFORMATEX* pwfx;      // in (with INITTOWFXSTRUCT) and out: the format
  DWORD cbwfx;             // pwfx's size in bytes
  const char* pszTitle;    // null: "Sound Selection"
  char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];  // out: e.g. "IMA ADPCM"
  char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];           // out: e.g. "8.000 kHz, 4 Bit, Mono"
  char* pszName;           // a named format's name (none here: emptied)
  DWORD cchName;
  DWORD fdwEnum;           // ACM_FORMATENUMF_*
  WAVEFORMATEX* pwfxEnum;  // what the enumeration flags compare with
  HINSTANCE hInstance;
  const char* pszTemplateName;
  LPARAM lCustData;
  ACMFORMATCHOOSEHOOKPROCA pfnHook;
};

extern "C" {

// ACM_METRIC_MAX_SIZE_FORMAT (with a null object) writes the largest
// format block any format of ours needs, cbSize included, as a DWORD;
// the driver counts answer 1 (one built-in driver); other metrics are
// MMSYSERR_NOTSUPPORTED. MMSYSERR_INVALPARAM for a null pMetric,
// MMSYSERR_INVALHANDLE for an object (there are no driver handles).
MMRESULT acmMetrics(HACMOBJ hao, UINT uMetric, void* pMetric);

// Shows the format dialog. MMSYSERR_NOERROR with the chosen format in
// pwfx (and its names in szFormatTag and szFormat) when OK is pressed;
// ACMERR_NOTPOSSIBLE when the chosen format does not fit cbwfx (pwfx
// untouched); ACMERR_CANCELED when the dialog is cancelled or closed, or
// nobody is there to choose; MMSYSERR_INVALPARAM for a bad structure
// (null, cbStruct too small, null pwfx, a flag needing pwfxEnum without it).
MMRESULT acmFormatChooseA(ACMFORMATCHOOSEA* pafmtc);

}  // extern "C"
