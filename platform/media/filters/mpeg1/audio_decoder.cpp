#include "platform/media/filters/mpeg1/audio_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/media/filter_ids.h"
#include "platform/media/filters/mpeg1/mpeg1_setup.h"
#include "platform/media/filters/mpeg1/pcm_convert.h"

namespace ksv::media::mpeg1 {
namespace {

constexpr int kSamplesPerBuffer = 1152;  // one layer 2 or 3 frame
constexpr LONG kOutputBuffers = 8;
constexpr REFERENCE_TIME kResyncTolerance = 10'000;  // 1 ms

AVCodecID CodecOfLayer(int layer) {
  if (layer == 1) return AV_CODEC_ID_MP1;
  if (layer == 3) return AV_CODEC_ID_MP3;
  return AV_CODEC_ID_MP2;
}

WAVEFORMATEX PcmFormat(const AudioFormat& input) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(input.channels);
  wave.nSamplesPerSec = static_cast<DWORD>(input.sampleRate);
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = static_cast<WORD>(input.channels * 2);
  wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
  wave.cbSize = 0;
  return wave;
}

}  // namespace

MpegAudioDecoder::MpegAudioDecoder(LPUNKNOWN outer, HRESULT* result)
    : MpegDecoderFilter("MPEG Audio Decoder", outer, CLSID_CMpegAudioCodec) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* MpegAudioDecoder::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = S_OK;
  auto* filter = new (std::nothrow) MpegAudioDecoder(outer, result);
  if (filter == nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

const AMOVIESETUP_FILTER* MpegAudioDecoder::GetSetupData() { return &kAudioDecoderSetup; }

HRESULT MpegAudioDecoder::CheckInputType(const CMediaType* input) {
  AudioFormat format;
  return ReadAudioFormat(*input, &format) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MpegAudioDecoder::CheckTransform(const CMediaType* input, const CMediaType* output) {
  AudioFormat format;
  if (!ReadAudioFormat(*input, &format)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (*output->Type() != MEDIATYPE_Audio || *output->Subtype() != MEDIASUBTYPE_PCM ||
      *output->FormatType() != FORMAT_WaveFormatEx ||
      output->FormatLength() < sizeof(WAVEFORMATEX)) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  WAVEFORMATEX wave;
  std::memcpy(&wave, output->Format(), sizeof wave);
  const WAVEFORMATEX wanted = PcmFormat(format);
  if (wave.wFormatTag != WAVE_FORMAT_PCM || wave.nChannels != wanted.nChannels ||
      wave.nSamplesPerSec != wanted.nSamplesPerSec || wave.wBitsPerSample != 16 ||
      wave.nBlockAlign != wanted.nBlockAlign) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT MpegAudioDecoder::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  AudioFormat format;
  if (!ReadAudioFormat(m_pInput->CurrentMediaType(), &format)) return E_UNEXPECTED;
  const WAVEFORMATEX wave = PcmFormat(format);
  type->InitMediaType();
  if (!type->SetFormat(reinterpret_cast<const BYTE*>(&wave), sizeof wave)) return E_OUTOFMEMORY;
  type->SetType(&MEDIATYPE_Audio);
  type->SetSubtype(&MEDIASUBTYPE_PCM);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  type->SetSampleSize(wave.nBlockAlign);
  return S_OK;
}

HRESULT MpegAudioDecoder::DecideBufferSize(IMemAllocator* allocator,
                                           ALLOCATOR_PROPERTIES* request) {
  const LONG blockAlign = input_.channels * 2;
  request->cBuffers = std::max(request->cBuffers, kOutputBuffers);
  request->cbBuffer = std::max<LONG>(request->cbBuffer, kSamplesPerBuffer * blockAlign);
  request->cbAlign = std::max<LONG>(request->cbAlign, 4);  // written as 16-bit values
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  // A decoded frame larger than a buffer is delivered in pieces.
  return actual.cbBuffer >= blockAlign && actual.cBuffers >= 1 ? S_OK : E_FAIL;
}

HRESULT MpegAudioDecoder::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  if (direction != PINDIR_INPUT) return S_OK;
  AudioFormat format;
  if (!ReadAudioFormat(*type, &format)) return VFW_E_TYPE_NOT_ACCEPTED;
  const HRESULT result =
      decoder_.Open(CodecOfLayer(format.layer), nullptr, 0, format.channels, format.sampleRate);
  if (FAILED(result)) return result;
  input_ = format;
  packetInput_ = *type->Subtype() == MEDIASUBTYPE_MPEG1Packet;
  return S_OK;
}

HRESULT MpegAudioDecoder::BreakConnect(PIN_DIRECTION direction) {
  if (direction == PINDIR_INPUT) decoder_.Close();
  return S_OK;
}

REFERENCE_TIME MpegAudioDecoder::TimeAfter(int64_t samples) const {
  return anchor_ + samples * 10'000'000 / input_.sampleRate;
}

HRESULT MpegAudioDecoder::OnFrame(AVFrame* frame) {
  const int frameChannels = frame->ch_layout.nb_channels;
  if (frame->nb_samples <= 0 || frameChannels <= 0) return S_OK;
  if (frame->pts != AV_NOPTS_VALUE &&
      (!anchored_ || std::llabs(frame->pts - TimeAfter(samples_)) > kResyncTolerance)) {
    anchor_ = frame->pts;
    samples_ = 0;
    anchored_ = true;
  }
  if (!anchored_) {
    anchor_ = 0;
    samples_ = 0;
    anchored_ = true;
  }
  const int blockAlign = input_.channels * 2;
  for (int done = 0; done < frame->nb_samples;) {
    IMediaSample* sample = nullptr;
    HRESULT result = GetOutputBuffer(&sample);
    if (FAILED(result)) return result;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const int count = std::min(frame->nb_samples - done, sample->GetSize() / blockAlign);
    if (buffer == nullptr || count <= 0 ||
        !ConvertToS16(*frame, frameChannels, done, count, input_.channels,
                      reinterpret_cast<int16_t*>(buffer))) {
      sample->Release();
      return E_FAIL;
    }
    REFERENCE_TIME start = TimeAfter(samples_);
    samples_ += count;
    REFERENCE_TIME stop = TimeAfter(samples_);
    sample->SetTime(&start, &stop);
    sample->SetActualDataLength(count * blockAlign);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(TakeDiscontinuity());
    result = DeliverOutput(sample);
    if (result != S_OK) return result;
    done += count;
  }
  return S_OK;
}

}  // namespace ksv::media::mpeg1
