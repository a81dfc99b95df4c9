// The one video stream the driver offers: its two data ranges (I420 at
// 320 x 240 and 160 x 120), the stream header and description, format
// matching and data intersection.
#pragma once

#include <array>
#include <cstdint>

#include "platform/usbcamd/ks_format.h"
#include "platform/usbcamd/stream_class.h"

namespace ksv::driver {

using platform::usbcamd::HW_STREAM_REQUEST_BLOCK;
using platform::usbcamd::KS_DATARANGE_VIDEO;
using platform::usbcamd::KSDATAFORMAT;

// The ranges, in the order the stream reports them.
const std::array<const KS_DATARANGE_VIDEO*, 2>& StreamRanges();

// The range whose GUIDs, width and height the format has (its compression
// code is not compared); null for none, or for a format too short to be a
// video-info format.
const KS_DATARANGE_VIDEO* MatchingRange(const KSDATAFORMAT* format);

// Fills the request's stream descriptor: one stream, four device property
// sets. STATUS_BUFFER_TOO_SMALL when the request's buffer cannot hold it.
platform::kernel::NTSTATUS FillStreamInformation(HW_STREAM_REQUEST_BLOCK& srb);

// The data format for a requested range, written into the request's format
// buffer (see the request's rules: an empty buffer learns the size needed).
platform::kernel::NTSTATUS IntersectDataRange(HW_STREAM_REQUEST_BLOCK& srb);

}  // namespace ksv::driver
