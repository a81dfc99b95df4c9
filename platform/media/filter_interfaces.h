// Filters and pins: IMediaFilter (state and clock), IBaseFilter (pins,
// name, graph), IPin (connection and the stream's control calls) and the
// enumerators of pins, media types and filters.
#pragma once

#include "platform/com/property_bag.h"  // IPersist
#include "platform/com/unknown.h"
#include "platform/media/media_types.h"
#include "platform/media/reference_clock.h"

struct IPin;
struct IEnumPins;
struct IEnumMediaTypes;
struct IFilterGraph;

struct IMediaFilter : IPersist {
  static constexpr IID kIid = ksv::com::Guid("56A86899-0AD4-11CE-B03A-0020AF0BA770");

  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  // Runs with stream time 0 at reference time `start`.
  virtual HRESULT Run(REFERENCE_TIME start) = 0;
  // VFW_S_STATE_INTERMEDIATE while a transition is not finished after
  // `milliseconds`; VFW_S_CANT_CUE for a live source paused.
  virtual HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) = 0;
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

 protected:
  ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
  static constexpr IID kIid = ksv::com::Guid("56A86895-0AD4-11CE-B03A-0020AF0BA770");

  virtual HRESULT EnumPins(IEnumPins** pins) = 0;
  // The pin whose QueryId is `id`; VFW_E_NOT_FOUND when none is.
  virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
  // Called by the graph when it adds (graph, name) or removes (null, null)
  // the filter. The filter keeps the graph uncounted: the graph owns it.
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
  virtual HRESULT QueryVendorInfo(LPWSTR* vendorInfo) = 0;

 protected:
  ~IBaseFilter() = default;
};

struct IPin : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A86891-0AD4-11CE-B03A-0020AF0BA770");

  // On an output pin: connects to `receivePin` with `type` (which may be
  // partial or null: the pins then try the types they enumerate).
  virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
  // On an input pin: accepts or refuses the connection `connector` offers.
  virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
  // Breaks this side of the connection (the graph calls both sides).
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pin) = 0;
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
  // A copy of the pin's identifier in task memory (CoTaskMemFree).
  virtual HRESULT QueryId(LPWSTR* id) = 0;
  // S_OK when the pin would accept `type` now, S_FALSE when not.
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
  virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;
  // Stream control, passed downstream from input pins.
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;

 protected:
  ~IPin() = default;
};

// The enumerators: Next hands out up to `count` items (counted, or media
// types from task memory) and answers S_FALSE when it gave fewer;
// VFW_E_ENUM_OUT_OF_SYNC when what it enumerates changed (Reset starts over).
struct IEnumPins : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A86892-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** copy) = 0;

 protected:
  ~IEnumPins() = default;
};

struct IEnumMediaTypes : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("89C31040-846B-11CE-97D3-00AA0055595A");
  // Each type comes from CreateMediaType; the caller frees it with
  // DeleteMediaType.
  virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** copy) = 0;

 protected:
  ~IEnumMediaTypes() = default;
};

struct IEnumFilters : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A86893-0AD4-11CE-B03A-0020AF0BA770");
  virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** copy) = 0;

 protected:
  ~IEnumFilters() = default;
};

inline constexpr IID IID_IMediaFilter = IMediaFilter::kIid;
inline constexpr IID IID_IBaseFilter = IBaseFilter::kIid;
inline constexpr IID IID_IPin = IPin::kIid;
inline constexpr IID IID_IEnumPins = IEnumPins::kIid;
inline constexpr IID IID_IEnumMediaTypes = IEnumMediaTypes::kIid;
inline constexpr IID IID_IEnumFilters = IEnumFilters::kIid;
