// The test filter plug-in (ksvtestfilters): class identifiers, friendly
// names and the media types its filters pass, for the tests that register
// it and build graphs from it.
#pragma once

#include "platform/media/media.h"

namespace ksv::media::testing {

// Video subtypes: the source makes A, the converters turn A into B (or C),
// the sink takes only B. FOURCC GUIDs of 'TSTA', 'TSTB', 'TSTC'.
inline constexpr GUID kTestSubtypeA = com::Guid("41545354-0000-0010-8000-00AA00389B71");
inline constexpr GUID kTestSubtypeB = com::Guid("42545354-0000-0010-8000-00AA00389B71");
inline constexpr GUID kTestSubtypeC = com::Guid("43545354-0000-0010-8000-00AA00389B71");

inline constexpr CLSID kTestSourceClsid = com::Guid("7E57F117-0001-4B53-9D10-6B5376544631");
inline constexpr CLSID kTestConverterClsid = com::Guid("7E57F117-0002-4B53-9D10-6B5376544631");
inline constexpr CLSID kTestBackupConverterClsid =
    com::Guid("7E57F117-0003-4B53-9D10-6B5376544631");
inline constexpr CLSID kTestDeadEndClsid = com::Guid("7E57F117-0004-4B53-9D10-6B5376544631");
inline constexpr CLSID kTestSinkClsid = com::Guid("7E57F117-0005-4B53-9D10-6B5376544631");

inline constexpr const WCHAR* kTestSourceName = u"KSV Test Source";
inline constexpr const WCHAR* kTestConverterName = u"KSV Test Converter";
inline constexpr const WCHAR* kTestBackupConverterName = u"KSV Test Backup Converter";
inline constexpr const WCHAR* kTestDeadEndName = u"KSV Test Dead End";
inline constexpr const WCHAR* kTestSinkName = u"KSV Test Sink";

// Samples the source sends unless IFileSourceFilter::Load names a count.
inline constexpr LONG kTestSourceDefaultSamples = 300;
// Bytes of each sample: the sample's index, little-endian.
inline constexpr LONG kTestSampleBytes = 4;

}  // namespace ksv::media::testing
