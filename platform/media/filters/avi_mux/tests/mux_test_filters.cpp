#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace ksv::media::testing {

namespace {
const CLSID kPushSourceClsid = com::Guid("7E57F117-0101-4B53-9D10-6B5376544631");
const CLSID kRecordingSinkClsid = com::Guid("7E57F117-0102-4B53-9D10-6B5376544631");
}  // namespace

// PushPin

PushPin::PushPin(PushSource* source, HRESULT* result, LPCWSTR name, const CMediaType& type,
                 std::vector<TestSample> samples, AfterLast after)
    : CSourceStream("push pin", result, source, name),
      type_(type),
      samples_(std::move(samples)),
      after_(after) {}

HRESULT PushPin::GetMediaType(CMediaType* type) { return type->Set(type_); }

HRESULT PushPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  size_t largest = 1;
  for (const TestSample& sample : samples_) largest = std::max(largest, sample.bytes.size());
  request->cBuffers = 4;
  request->cbBuffer = static_cast<LONG>(largest);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(request, &actual);
}

HRESULT PushPin::OnThreadStartPlay() { return S_OK; }

HRESULT PushPin::FillBuffer(IMediaSample* sample) {
  if (next_ >= samples_.size()) return after_ == AfterLast::kFail ? E_FAIL : S_FALSE;
  const TestSample& next = samples_[next_++];
  BYTE* buffer = nullptr;
  sample->GetPointer(&buffer);
  std::memcpy(buffer, next.bytes.data(), next.bytes.size());
  sample->SetActualDataLength(static_cast<LONG>(next.bytes.size()));
  if (next.timed) {
    REFERENCE_TIME start = next.start, stop = next.stop;
    sample->SetTime(&start, &stop);
  }
  sample->SetSyncPoint(next.sync ? TRUE : FALSE);
  return S_OK;
}

// The base loop, except that a holding pin with nothing left to send waits
// for the next command instead of ending its stream.
HRESULT PushPin::DoBufferProcessingLoop() {
  Command command;
  for (;;) {
    while (!CheckRequest(&command)) {
      if (after_ == AfterLast::kHold && next_ >= samples_.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      IMediaSample* sample = nullptr;
      if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      const HRESULT filled = FillBuffer(sample);
      if (filled == S_OK) {
        const HRESULT delivered = Deliver(sample);
        sample->Release();
        if (delivered != S_OK) return S_OK;
        ++delivered_;
      } else {
        sample->Release();
        if (FAILED(filled)) m_pFilter->NotifyEvent(EC_ERRORABORT, filled, 0);
        DeliverEndOfStream();
        return S_OK;
      }
    }
    if (command == CMD_STOP) return S_FALSE;
    Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
  }
}

PushSource::PushSource() : CSource("push source", nullptr, kPushSourceClsid) {}

PushPin* PushSource::AddStream(const CMediaType& type, std::vector<TestSample> samples,
                               AfterLast after) {
  HRESULT result = S_OK;
  const std::u16string name = u"Out" + std::u16string(1, char16_t(u'0' + GetPinCount()));
  return new PushPin(this, &result, name.c_str(), type, std::move(samples), after);
}

// RecordingPin

RecordingPin::RecordingPin(RecordingSink* sink, CCritSec* lock, HRESULT* result)
    : CBaseInputPin("recording pin", sink, lock, result, u"In"), sink_(sink) {}

HRESULT RecordingPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IStream || iid == IID_ISequentialStream) {
    return GetInterface(static_cast<IStream*>(this), object);
  }
  return CBaseInputPin::NonDelegatingQueryInterface(iid, object);
}

HRESULT RecordingPin::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

void RecordingPin::Put(uint64_t offset, const uint8_t* data, size_t size) {
  std::vector<uint8_t>& bytes = sink_->bytes_;
  if (bytes.size() < offset + size) bytes.resize(offset + size);
  std::memcpy(bytes.data() + offset, data, size);
}

HRESULT RecordingPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  REFERENCE_TIME start = 0, stop = 0;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const LONG length = sample->GetActualDataLength();
  std::lock_guard<std::mutex> lock(sink_->mutex_);
  if (sample->GetTime(&start, &stop) != S_OK || start < 0 || stop - start != length) {
    sink_->badSample_ = true;
    return E_INVALIDARG;
  }
  Put(static_cast<uint64_t>(start), data, static_cast<size_t>(length));
  ++sink_->samples_;
  return S_OK;
}

HRESULT RecordingPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  if (result == S_OK) sink_->ended_.Set();
  return result;
}

HRESULT RecordingPin::Write(const void* buffer, ULONG size, ULONG* written) {
  std::lock_guard<std::mutex> lock(sink_->mutex_);
  if (sink_->committed_) return STG_E_REVERTED;
  Put(position_, static_cast<const uint8_t*>(buffer), size);
  position_ += size;
  ++sink_->streamWrites_;
  if (written != nullptr) *written = size;
  return S_OK;
}

HRESULT RecordingPin::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  if (origin != STREAM_SEEK_SET || move.QuadPart < 0) return STG_E_INVALIDFUNCTION;
  position_ = static_cast<uint64_t>(move.QuadPart);
  if (position != nullptr) position->QuadPart = position_;
  return S_OK;
}

HRESULT RecordingPin::Commit(DWORD /*flags*/) {
  std::lock_guard<std::mutex> lock(sink_->mutex_);
  sink_->committed_ = true;
  return S_OK;
}

// RecordingSink

RecordingSink::RecordingSink() : CBaseFilter("recording sink", nullptr, &lock_, kRecordingSinkClsid) {
  HRESULT result = S_OK;
  pin_ = new RecordingPin(this, &lock_, &result);
}

RecordingSink::~RecordingSink() { delete pin_; }

std::vector<uint8_t> RecordingSink::bytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}
int RecordingSink::samples() {
  std::lock_guard<std::mutex> lock(mutex_);
  return samples_;
}
int RecordingSink::streamWrites() {
  std::lock_guard<std::mutex> lock(mutex_);
  return streamWrites_;
}
bool RecordingSink::committed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return committed_;
}
bool RecordingSink::badSample() {
  std::lock_guard<std::mutex> lock(mutex_);
  return badSample_;
}

// Helpers

void DisconnectAll(CBaseFilter* filter) {
  for (int i = 0; i < filter->GetPinCount(); ++i) {
    CBasePin* pin = filter->GetPin(i);
    IPin* partner = nullptr;
    if (pin->ConnectedTo(&partner) != S_OK) continue;
    partner->Disconnect();
    partner->Release();
    pin->Disconnect();
  }
}

CMediaType VideoType(DWORD compression, int width, int height, WORD bitCount,
                     REFERENCE_TIME frameTime) {
  CMediaType type(&MEDIATYPE_Video);
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = frameTime;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitCount;
  info.bmiHeader.biCompression = compression;
  info.bmiHeader.biSizeImage = compression == 0 ? DWORD(width * height * bitCount / 8) : 0;
  type.SetFormatType(&FORMAT_VideoInfo);
  type.SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof info);
  const GUID subtype = compression == 0 ? GetBitmapSubtype(&info.bmiHeader) : FourccSubtype(compression);
  type.SetSubtype(&subtype);
  return type;
}

CMediaType AudioType(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSecond, WORD blockAlign,
                     WORD bits, const std::vector<uint8_t>& extra) {
  CMediaType type(&MEDIATYPE_Audio);
  std::vector<uint8_t> block(sizeof(WAVEFORMATEX) + extra.size());
  WAVEFORMATEX wave{tag, channels, rate, bytesPerSecond, blockAlign, bits, WORD(extra.size())};
  std::memcpy(block.data(), &wave, sizeof wave);
  std::copy(extra.begin(), extra.end(), block.begin() + sizeof wave);
  type.SetFormatType(&FORMAT_WaveFormatEx);
  type.SetFormat(block.data(), ULONG(block.size()));
  const GUID subtype = FourccSubtype(tag);
  type.SetSubtype(&subtype);
  return type;
}

std::vector<std::vector<uint8_t>> JpegFrames(int count, int width, int height) {
  std::vector<std::vector<uint8_t>> frames;
  tjhandle handle = tjInitCompress();
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  for (int f = 0; f < count; ++f) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint8_t* pixel = &rgb[(size_t(y) * width + x) * 3];
        pixel[0] = uint8_t(x * 4 + f * 8);
        pixel[1] = uint8_t(y * 4);
        pixel[2] = uint8_t((x + y + f) * 2);
      }
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_422, 85, 0);
    frames.emplace_back(jpeg, jpeg + size);
    tjFree(jpeg);
  }
  tjDestroy(handle);
  return frames;
}

std::vector<TestSample> Frames(const std::vector<std::vector<uint8_t>>& pictures,
                               REFERENCE_TIME frameTime) {
  std::vector<TestSample> samples;
  for (size_t i = 0; i < pictures.size(); ++i) {
    TestSample sample;
    sample.bytes = pictures[i];
    sample.start = REFERENCE_TIME(i) * frameTime;
    sample.stop = sample.start + frameTime;
    samples.push_back(std::move(sample));
  }
  return samples;
}

std::vector<TestSample> SoundSamples(const std::vector<uint8_t>& sound, size_t chunk,
                                     uint32_t bytesPerSecond) {
  std::vector<TestSample> samples;
  for (size_t at = 0; at < sound.size(); at += chunk) {
    TestSample sample;
    const size_t size = std::min(chunk, sound.size() - at);
    sample.bytes.assign(sound.begin() + at, sound.begin() + at + size);
    sample.start = REFERENCE_TIME(double(at) * UNITS / bytesPerSecond);
    sample.stop = REFERENCE_TIME(double(at + size) * UNITS / bytesPerSecond);
    samples.push_back(std::move(sample));
  }
  return samples;
}

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (status != nullptr) *status = -1;
    return out;
  }
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  const int closed = pclose(pipe);
  if (status != nullptr) *status = closed;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

bool HaveFfmpeg() {
  int status = 0;
  RunCommand("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1", &status);
  return status == 0;
}

std::string Probe(const std::string& file, const std::string& stream, const std::string& entry,
                  bool count) {
  return RunCommand("ffprobe -v error " + std::string(count ? "-count_frames " : "") +
                    "-select_streams " + stream + " -show_entries " + entry +
                    " -of default=nokey=1:noprint_wrappers=1 '" + file + "' 2>&1");
}

}  // namespace ksv::media::testing
