// The identifiers of media types: major types, subtypes and format types,
// with the values the platform documents, and the class identifiers of the
// framework's own objects. Subtypes of the form XXXXXXXX-0000-0010-8000-
// 00AA00389B71 carry a FOURCC (video) or a wave format tag (audio) in Data1.
#pragma once

#include "platform/com/guid.h"

// Major types.
inline constexpr GUID MEDIATYPE_Video = ksv::com::Guid("73646976-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_Audio = ksv::com::Guid("73647561-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_Text = ksv::com::Guid("73747874-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_Midi = ksv::com::Guid("7364696D-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_Stream = ksv::com::Guid("E436EB83-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIATYPE_Interleaved =
    ksv::com::Guid("73766169-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_MPEG1SystemStream =
    ksv::com::Guid("E436EB82-524F-11CE-9F53-0020AF0BA770");

// Video subtypes: uncompressed RGB.
inline constexpr GUID MEDIASUBTYPE_RGB1 = ksv::com::Guid("E436EB78-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB4 = ksv::com::Guid("E436EB79-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB8 = ksv::com::Guid("E436EB7A-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB565 = ksv::com::Guid("E436EB7B-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB555 = ksv::com::Guid("E436EB7C-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB24 = ksv::com::Guid("E436EB7D-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB32 = ksv::com::Guid("E436EB7E-524F-11CE-9F53-0020AF0BA770");

// Video subtypes named by FOURCC.
inline constexpr GUID MEDIASUBTYPE_I420 = ksv::com::Guid("30323449-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_IYUV = ksv::com::Guid("56555949-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_YV12 = ksv::com::Guid("32315659-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_YUY2 = ksv::com::Guid("32595559-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_UYVY = ksv::com::Guid("59565955-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_MJPG = ksv::com::Guid("47504A4D-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_CVID = ksv::com::Guid("64697663-0000-0010-8000-00AA00389B71");

// Audio subtypes named by wave format tag.
inline constexpr GUID MEDIASUBTYPE_PCM = ksv::com::Guid("00000001-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_IEEE_FLOAT =
    ksv::com::Guid("00000003-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_MPEG1AudioPayload =
    ksv::com::Guid("00000050-0000-0010-8000-00AA00389B71");

// Stream and MPEG-1 subtypes.
inline constexpr GUID MEDIASUBTYPE_MPEG1Packet =
    ksv::com::Guid("E436EB80-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_MPEG1Payload =
    ksv::com::Guid("E436EB81-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_MPEG1System =
    ksv::com::Guid("E436EB84-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_MPEG1VideoCD =
    ksv::com::Guid("E436EB85-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_MPEG1Video =
    ksv::com::Guid("E436EB86-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_MPEG1Audio =
    ksv::com::Guid("E436EB87-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_Avi = ksv::com::Guid("E436EB88-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_WAVE = ksv::com::Guid("E436EB8B-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_AU = ksv::com::Guid("E436EB8C-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_AIFF = ksv::com::Guid("E436EB8D-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_None = ksv::com::Guid("E436EB8E-524F-11CE-9F53-0020AF0BA770");

// Format types (the layout of AM_MEDIA_TYPE::pbFormat).
inline constexpr GUID FORMAT_None = ksv::com::Guid("0F6417D6-C318-11D0-A43F-00A0C9223196");
inline constexpr GUID FORMAT_VideoInfo = ksv::com::Guid("05589F80-C356-11CE-BF01-00AA0055595A");
inline constexpr GUID FORMAT_VideoInfo2 = ksv::com::Guid("F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA");
inline constexpr GUID FORMAT_WaveFormatEx =
    ksv::com::Guid("05589F81-C356-11CE-BF01-00AA0055595A");
inline constexpr GUID FORMAT_MPEGVideo = ksv::com::Guid("05589F82-C356-11CE-BF01-00AA0055595A");
inline constexpr GUID FORMAT_MPEGStreams = ksv::com::Guid("05589F83-C356-11CE-BF01-00AA0055595A");

// Time formats of IMediaSeeking.
inline constexpr GUID TIME_FORMAT_NONE = GUID_NULL;
inline constexpr GUID TIME_FORMAT_FRAME = ksv::com::Guid("7B785570-8C82-11CF-BC0C-00AA00AC74F6");
inline constexpr GUID TIME_FORMAT_BYTE = ksv::com::Guid("7B785571-8C82-11CF-BC0C-00AA00AC74F6");
inline constexpr GUID TIME_FORMAT_SAMPLE = ksv::com::Guid("7B785572-8C82-11CF-BC0C-00AA00AC74F6");
inline constexpr GUID TIME_FORMAT_MEDIA_TIME =
    ksv::com::Guid("7B785574-8C82-11CF-BC0C-00AA00AC74F6");

// The framework's own classes.
inline constexpr CLSID CLSID_FilterGraph = ksv::com::Guid("E436EBB3-524F-11CE-9F53-0020AF0BA770");
inline constexpr CLSID CLSID_SystemClock = ksv::com::Guid("E436EBB1-524F-11CE-9F53-0020AF0BA770");
inline constexpr CLSID CLSID_MemoryAllocator =
    ksv::com::Guid("1E651CC0-B199-11D0-8212-00C04FC32C45");

// The subtype GUID of a FOURCC or wave format tag: Data1 = the code.
constexpr GUID FourccSubtype(DWORD code) {
  GUID guid = MEDIASUBTYPE_PCM;
  guid.Data1 = code;
  return guid;
}
