#include "platform/media/filters/mpeg1/mpeg_media_types.h"

#include <cstring>

namespace ksv::media::mpeg1 {
namespace {

constexpr int kMaxPictureSide = 4095;  // 12 bits in the sequence header

WORD LayerFlag(int layer) {
  return layer == 1 ? ACM_MPEG_LAYER1 : (layer == 2 ? ACM_MPEG_LAYER2 : ACM_MPEG_LAYER3);
}

WORD ModeFlag(int mode) {
  static constexpr WORD kModes[] = {ACM_MPEG_STEREO, ACM_MPEG_JOINTSTEREO, ACM_MPEG_DUALCHANNEL,
                                    ACM_MPEG_SINGLECHANNEL};
  return kModes[mode & 3];
}

}  // namespace

HRESULT MakeVideoType(const SequenceHeader& header, uint32_t startTimeCode, int64_t frameTime,
                      CMediaType* type) {
  if (header.bytes == nullptr || header.size == 0) return E_INVALIDARG;
  const ULONG length = MPEG1VIDEOINFO_HEADER_SIZE + static_cast<ULONG>(header.size);
  type->InitMediaType();
  BYTE* block = type->AllocFormatBuffer(length);
  if (block == nullptr) return E_OUTOFMEMORY;
  MPEG1VIDEOINFO info{};
  info.hdr.rcSource = {0, 0, header.width, header.height};
  info.hdr.rcTarget = info.hdr.rcSource;
  info.hdr.dwBitRate = header.bitRate;
  info.hdr.AvgTimePerFrame = frameTime > 0 ? frameTime : FrameTimeOfRateCode(header.frameRateCode);
  BITMAPINFOHEADER& bitmap = info.hdr.bmiHeader;
  bitmap.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.biWidth = header.width;
  bitmap.biHeight = header.height;
  bitmap.biPlanes = 1;
  info.dwStartTimeCode = startTimeCode;
  info.cbSequenceHeader = static_cast<DWORD>(header.size);
  std::memcpy(block, &info, MPEG1VIDEOINFO_HEADER_SIZE);
  std::memcpy(block + MPEG1VIDEOINFO_HEADER_SIZE, header.bytes, header.size);
  type->SetType(&MEDIATYPE_Video);
  type->SetSubtype(&MEDIASUBTYPE_MPEG1Payload);
  type->SetFormatType(&FORMAT_MPEGVideo);
  type->SetVariableSize();
  type->SetTemporalCompression(TRUE);
  return S_OK;
}

HRESULT MakeAudioType(const AudioFrameHeader& header, int64_t firstPts90kHz, CMediaType* type) {
  if (header.layer < 1 || header.layer > 3 || header.sampleRate <= 0) return E_INVALIDARG;
  MPEG1WAVEFORMAT format{};
  // Layer 3 too: the layer field says which layer it is.
  format.wfx.wFormatTag = WAVE_FORMAT_MPEG;
  format.wfx.nChannels = static_cast<WORD>(header.channels());
  format.wfx.nSamplesPerSec = static_cast<DWORD>(header.sampleRate);
  format.wfx.nAvgBytesPerSec = header.bitRate / 8;
  format.wfx.nBlockAlign = 1;  // frames vary in size (padding)
  format.wfx.wBitsPerSample = 0;
  format.wfx.cbSize = sizeof(MPEG1WAVEFORMAT) - sizeof(WAVEFORMATEX);
  format.fwHeadLayer = LayerFlag(header.layer);
  format.dwHeadBitrate = header.bitRate;
  format.fwHeadMode = ModeFlag(header.mode);
  format.fwHeadModeExt = static_cast<WORD>(1 << header.modeExtension);
  format.wHeadEmphasis = static_cast<WORD>(header.emphasis + 1);
  format.fwHeadFlags = static_cast<WORD>(
      (header.privateBit ? ACM_MPEG_PRIVATEBIT : 0) | (header.copyright ? ACM_MPEG_COPYRIGHT : 0) |
      (header.original ? ACM_MPEG_ORIGINALHOME : 0) |
      (header.protectionBit ? ACM_MPEG_PROTECTIONBIT : 0) |
      (header.version == 1 ? ACM_MPEG_ID_MPEG1 : 0));
  const uint64_t pts = firstPts90kHz > 0 ? static_cast<uint64_t>(firstPts90kHz) : 0;
  format.dwPTSLow = static_cast<DWORD>(pts & 0xFFFFFFFFu);
  format.dwPTSHigh = static_cast<DWORD>((pts >> 32) & 1);  // 33-bit stamps
  type->InitMediaType();
  if (!type->SetFormat(reinterpret_cast<const BYTE*>(&format), sizeof format)) return E_OUTOFMEMORY;
  type->SetType(&MEDIATYPE_Audio);
  type->SetSubtype(&MEDIASUBTYPE_MPEG1AudioPayload);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  type->SetVariableSize();
  return S_OK;
}

bool ReadVideoFormat(const CMediaType& type, VideoFormat* format) {
  if (type.majortype != MEDIATYPE_Video) return false;
  if (type.subtype != MEDIASUBTYPE_MPEG1Payload && type.subtype != MEDIASUBTYPE_MPEG1Packet) {
    return false;
  }
  const bool mpegBlock = type.formattype == FORMAT_MPEGVideo;
  if (!mpegBlock && type.formattype != FORMAT_VideoInfo) return false;
  if (type.Format() == nullptr || type.FormatLength() < sizeof(VIDEOINFOHEADER)) return false;
  VIDEOINFOHEADER header;
  std::memcpy(&header, type.Format(), sizeof header);
  VideoFormat read;
  read.width = header.bmiHeader.biWidth;
  read.height = header.bmiHeader.biHeight < 0 ? -header.bmiHeader.biHeight
                                               : header.bmiHeader.biHeight;
  read.frameTime = header.AvgTimePerFrame > 0 ? header.AvgTimePerFrame : 0;
  read.bitRate = header.dwBitRate;
  if (read.width <= 0 || read.height <= 0 || read.width > kMaxPictureSide ||
      read.height > kMaxPictureSide) {
    return false;
  }
  if (mpegBlock) {
    if (type.FormatLength() < MPEG1VIDEOINFO_HEADER_SIZE) return false;
    DWORD sequenceBytes = 0;
    std::memcpy(&sequenceBytes, type.Format() + offsetof(MPEG1VIDEOINFO, cbSequenceHeader),
                sizeof sequenceBytes);
    if (sequenceBytes > type.FormatLength() - MPEG1VIDEOINFO_HEADER_SIZE) return false;
    read.sequenceHeader = sequenceBytes > 0 ? type.Format() + MPEG1VIDEOINFO_HEADER_SIZE : nullptr;
    read.sequenceHeaderSize = sequenceBytes;
  }
  *format = read;
  return true;
}

bool ReadAudioFormat(const CMediaType& type, AudioFormat* format) {
  if (type.majortype != MEDIATYPE_Audio) return false;
  if (type.subtype != MEDIASUBTYPE_MPEG1AudioPayload && type.subtype != MEDIASUBTYPE_MPEG1Packet &&
      type.subtype != MEDIASUBTYPE_MPEG1Payload && type.subtype != MEDIASUBTYPE_MPEG1Audio &&
      type.subtype != FourccSubtype(WAVE_FORMAT_MPEGLAYER3)) {
    return false;
  }
  if (type.formattype != FORMAT_WaveFormatEx) return false;
  if (type.Format() == nullptr || type.FormatLength() < sizeof(WAVEFORMATEX)) return false;
  WAVEFORMATEX wave;
  std::memcpy(&wave, type.Format(), sizeof wave);
  if (wave.wFormatTag != WAVE_FORMAT_MPEG && wave.wFormatTag != WAVE_FORMAT_MPEGLAYER3) return false;
  if (wave.nChannels < 1 || wave.nChannels > 2) return false;
  if (wave.nSamplesPerSec < 8000 || wave.nSamplesPerSec > 48000) return false;
  AudioFormat read;
  read.channels = wave.nChannels;
  read.sampleRate = static_cast<int>(wave.nSamplesPerSec);
  read.layer = wave.wFormatTag == WAVE_FORMAT_MPEGLAYER3 ? 3 : 0;
  if (wave.wFormatTag == WAVE_FORMAT_MPEG && type.FormatLength() >= sizeof(MPEG1WAVEFORMAT)) {
    WORD layers = 0;
    std::memcpy(&layers, type.Format() + offsetof(MPEG1WAVEFORMAT, fwHeadLayer), sizeof layers);
    if (layers == ACM_MPEG_LAYER1) read.layer = 1;
    if (layers == ACM_MPEG_LAYER2) read.layer = 2;
    if (layers == ACM_MPEG_LAYER3) read.layer = 3;
  }
  *format = read;
  return true;
}

}  // namespace ksv::media::mpeg1
