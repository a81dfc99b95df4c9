// The class identifiers of the platform's standard filters, as the platform
// documents them, and of the outside filters the system names.
#pragma once

#include "platform/com/guid.h"

inline constexpr CLSID CLSID_AsyncReader = ksv::com::Guid("E436EBB5-524F-11CE-9F53-0020AF0BA770");
inline constexpr CLSID CLSID_AviSplitter = ksv::com::Guid("1B544C20-FD0B-11CE-8C63-00AA0044B51E");
inline constexpr CLSID CLSID_WAVEParser = ksv::com::Guid("D51BD5A1-7548-11CF-A520-0080C77EF58A");
inline constexpr CLSID CLSID_MPEG1Splitter = ksv::com::Guid("336475D0-942A-11CE-A870-00AA002FEAB5");
inline constexpr CLSID CLSID_CMpegVideoCodec =
    ksv::com::Guid("FEB50740-7BEF-11CE-9BD9-0000E202599C");
inline constexpr CLSID CLSID_CMpegAudioCodec =
    ksv::com::Guid("4A2286E0-7BEF-11CE-9BD9-0000E202599C");
inline constexpr CLSID CLSID_AviDest = ksv::com::Guid("E2510970-F137-11CE-8B67-00AA00A3F1A6");
// Splits a capture stream into capture and preview outputs.
inline constexpr CLSID CLSID_SmartTee = ksv::com::Guid("CC58E280-8AA1-11D1-B3F1-00AA003761C5");
inline constexpr CLSID CLSID_FileWriter = ksv::com::Guid("8596E5F0-0DA5-11D0-BD21-00A0C911CE86");
// An outside filter: writes a WAV byte stream for the File Writer.
inline constexpr CLSID CLSID_WavDest = ksv::com::Guid("3C78B8E2-6C4D-11D1-ADE2-0000F8754B99");
// The audio capture filter: one object per device, made through the device's
// moniker in the audio input category (which tells it the device).
inline constexpr CLSID CLSID_AudioRecord = ksv::com::Guid("E30629D2-27E5-11CE-875D-00608CB78066");
// Sound through the Audio Compression Manager's codecs: the decoder that
// intelligent connect inserts, and the audio compressors' filter.
inline constexpr CLSID CLSID_ACMWrapper = ksv::com::Guid("6A08CF80-0E18-11CF-A24D-0020AFD79767");
// The renderers: the window that shows video, and the default sound device
// (also listed in the audio renderer category).
inline constexpr CLSID CLSID_VideoRenderer = ksv::com::Guid("70E102B0-5556-11CE-97C0-00AA0055595A");
inline constexpr CLSID CLSID_DSoundRender = ksv::com::Guid("79376820-07D0-11CF-A24D-0020AFD79767");
// The codec filters: compressed or planar video to RGB, conversions
// between the RGB and YUV forms, and the compressor that one filter class
// serves for every installed video codec (its moniker names the FOURCC).
inline constexpr CLSID CLSID_AVIDec = ksv::com::Guid("CF49D4E0-1115-11CE-B03A-0020AF0BA770");
inline constexpr CLSID CLSID_Colour = ksv::com::Guid("1643E180-90F5-11CE-97D5-00AA0055595A");
inline constexpr CLSID CLSID_AVICo = ksv::com::Guid("D76E2820-1563-11CF-AC98-00AA004C0FA9");
