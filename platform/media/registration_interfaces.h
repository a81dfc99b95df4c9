// Filter registration: the filter mapper (IFilterMapper2), the system
// device enumerator (ICreateDevEnum), the records a filter registers with
// (REGFILTER2 and its pins, the AMOVIESETUP_ records of a plug-in), merits
// and the standard categories, with the values the platform documents.
//
// Registry layout (below HKEY_CLASSES_ROOT):
//   CLSID\{filter}                       default: the filter's friendly name;
//                                        "Merit" (REG_DWORD), when present,
//                                        overrides the filter data's merit
//   CLSID\{category}\Instance\{instance} "FriendlyName" (REG_SZ), "CLSID"
//                                        (REG_SZ, registry form), "FilterData"
//                                        (REG_BINARY, filter_data.h)
//   CLSID\{ActiveMovieCategories}\Instance\{category}
//                                        a category: "FriendlyName", "CLSID",
//                                        "Merit" (REG_DWORD)
#pragma once

#include "platform/com/moniker.h"
#include "platform/com/unknown.h"

// Merits: the mapper's preference among filters that could do a job.
inline constexpr DWORD MERIT_PREFERRED = 0x800000;
inline constexpr DWORD MERIT_NORMAL = 0x600000;
inline constexpr DWORD MERIT_UNLIKELY = 0x400000;
inline constexpr DWORD MERIT_DO_NOT_USE = 0x200000;
inline constexpr DWORD MERIT_SW_COMPRESSOR = 0x100000;
inline constexpr DWORD MERIT_HW_COMPRESSOR = 0x100050;

// Standard categories.
inline constexpr CLSID CLSID_ActiveMovieCategories =
    ksv::com::Guid("DA4E3DA0-D07D-11D0-BD50-00A0C911CE86");
inline constexpr CLSID CLSID_LegacyAmFilterCategory =
    ksv::com::Guid("083863F1-70DE-11D0-BD40-00A0C911CE86");
inline constexpr CLSID CLSID_VideoInputDeviceCategory =
    ksv::com::Guid("860BB310-5D01-11D0-BD3B-00A0C911CE86");
// The kernel-streaming proxy: the capture filter of a device driven by a
// kernel-streaming driver (the camera), the CLSID its device entries carry.
inline constexpr CLSID CLSID_Proxy = ksv::com::Guid("17CCA71B-ECD7-11D0-B908-00A0C9223196");
// Not the platform's: the proxy's property-bag value (VT_BSTR, a decimal
// serial) that names a camera stack this process already runs, for a proxy
// over it instead of a second one (platform/usbcamd/camera_stack.h).
inline constexpr const char16_t* kProxyHostedCameraValue = u"HostedCamera";
inline constexpr CLSID CLSID_AudioInputDeviceCategory =
    ksv::com::Guid("33D9A762-90C8-11D0-BD43-00A0C911CE86");
inline constexpr CLSID CLSID_VideoCompressorCategory =
    ksv::com::Guid("33D9A760-90C8-11D0-BD43-00A0C911CE86");
inline constexpr CLSID CLSID_AudioCompressorCategory =
    ksv::com::Guid("33D9A761-90C8-11D0-BD43-00A0C911CE86");
inline constexpr CLSID CLSID_AudioRendererCategory =
    ksv::com::Guid("E0F158E1-CB04-11D0-BD4E-00A0C911CE86");

// The two registration objects.
inline constexpr CLSID CLSID_FilterMapper2 = ksv::com::Guid("CDA42200-BD88-11D0-BD4E-00A0C911CE86");
inline constexpr CLSID CLSID_SystemDeviceEnum =
    ksv::com::Guid("62BE5D10-60EB-11D0-BD3B-00A0C911CE86");

// A media type a pin accepts; a null pointer means any.
struct REGPINTYPES {
  const CLSID* clsMajorType;
  const CLSID* clsMinorType;
};

struct REGPINMEDIUM {
  CLSID clsMedium;
  DWORD dw1;
  DWORD dw2;
};

// Version-1 pin.
struct REGFILTERPINS {
  LPWSTR strName;
  BOOL bRendered;
  BOOL bOutput;
  BOOL bZero;
  BOOL bMany;
  const CLSID* clsConnectsToFilter;
  const WCHAR* strConnectsToPin;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
};

inline constexpr DWORD REG_PINFLAG_B_ZERO = 0x1;
inline constexpr DWORD REG_PINFLAG_B_RENDERER = 0x2;
inline constexpr DWORD REG_PINFLAG_B_MANY = 0x4;
inline constexpr DWORD REG_PINFLAG_B_OUTPUT = 0x8;

// Version-2 pin.
struct REGFILTERPINS2 {
  DWORD dwFlags;  // REG_PINFLAG_B_
  UINT cInstances;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
  UINT nMediums;
  const REGPINMEDIUM* lpMedium;
  const CLSID* clsPinCategory;
};

// dwVersion 1 uses cPins/rgPins, version 2 cPins2/rgPins2, overlaid as the
// platform declares them (anonymous structs in a union, a common extension).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
struct REGFILTER2 {
  DWORD dwVersion;
  DWORD dwMerit;
  union {
    struct {
      ULONG cPins;
      const REGFILTERPINS* rgPins;
    };
    struct {
      ULONG cPins2;
      const REGFILTERPINS2* rgPins2;
    };
  };
};
#pragma GCC diagnostic pop

// A plug-in's registration record of a filter.
typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN;
struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const WCHAR* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};

struct IFilterMapper2 : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("B79BB0B0-33C1-11D1-ABE1-00A0C905F375");

  // Lists a category (with its merit) among the categories.
  virtual HRESULT CreateCategory(REFCLSID category, DWORD categoryMerit,
                                 LPCWSTR description) = 0;
  // Removes the filter's instance from `category` (null: the legacy filter
  // category); `instance` null means the filter's class identifier.
  virtual HRESULT UnregisterFilter(const CLSID* category, LPCOLESTR instance,
                                   REFCLSID filter) = 0;
  // Registers the filter under `category` (null: the legacy filter
  // category) as `instance` (null: its class identifier). `moniker`, when
  // given, receives the moniker of the registered instance.
  virtual HRESULT RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker,
                                 const CLSID* category, LPCOLESTR instance,
                                 const REGFILTER2* data) = 0;
  // Monikers of the registered filters that meet the requirements, highest
  // merit first. pInputTypes/pOutputTypes hold major/subtype pairs.
  virtual HRESULT EnumMatchingFilters(IEnumMoniker** enumerator, DWORD flags, BOOL exactMatch,
                                      DWORD merit, BOOL inputNeeded, DWORD inputTypeCount,
                                      const GUID* inputTypes, const REGPINMEDIUM* inputMedium,
                                      const CLSID* inputPinCategory, BOOL render,
                                      BOOL outputNeeded, DWORD outputTypeCount,
                                      const GUID* outputTypes, const REGPINMEDIUM* outputMedium,
                                      const CLSID* outputPinCategory) = 0;

 protected:
  ~IFilterMapper2() = default;
};

struct ICreateDevEnum : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("29840822-5B84-11D0-BD3B-00A0C911CE86");

  // The devices and filters of a category, sorted by friendly name; S_FALSE
  // and a null enumerator when the category is empty or unknown.
  virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator,
                                        DWORD flags) = 0;

 protected:
  ~ICreateDevEnum() = default;
};

// What a filter class offers to register itself.
struct IAMovieSetup : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("A3D8CEC0-7E5A-11CF-BBC5-00805F6CEF20");
  virtual HRESULT Register() = 0;
  virtual HRESULT Unregister() = 0;

 protected:
  ~IAMovieSetup() = default;
};

inline constexpr IID IID_IFilterMapper2 = IFilterMapper2::kIid;
inline constexpr IID IID_ICreateDevEnum = ICreateDevEnum::kIid;
inline constexpr IID IID_IAMovieSetup = IAMovieSetup::kIid;
