#include "platform/media/filters/avi_mux/mux_session.h"

#include <algorithm>

namespace ksv::media::avimux {

MuxSession::MuxSession(avi::ByteSink& sink, std::vector<CMediaType> types,
                       SessionOptions options)
    : sink_(sink), options_(options) {
  streams_.resize(types.size());
  for (size_t i = 0; i < types.size(); ++i) streams_[i].type = types[i];
}

MuxSession::~MuxSession() = default;

bool MuxSession::Begin(size_t firstStream, const SampleData& first) {
  begun_ = true;
  avi::WriterOptions writerOptions;
  writerOptions.legacyIndex = options_.legacyIndex;
  writer_ = std::make_unique<avi::Writer>(sink_, writerOptions);
  avi::MainHeader main;
  bool haveVideo = false;
  for (size_t i = 0; i < streams_.size(); ++i) {
    Stream& stream = streams_[i];
    const REFERENCE_TIME duration =
        i == firstStream && first.timed && first.stop > first.start ? first.stop - first.start : 0;
    stream.setup = DescribeStream(stream.type, duration);
    stream.number = writer_->AddStream(stream.setup.header, stream.setup.format);
    if (stream.setup.header.type == avi::kStreamVideo && !haveVideo) {
      haveVideo = true;
      main.microSecPerFrame = uint32_t(stream.setup.frameTime / 10);
      main.width = uint32_t(stream.setup.width);
      main.height = uint32_t(stream.setup.height);
    }
  }
  if (!writer_->Begin(main)) failed_ = true;
  return !failed_;
}

bool MuxSession::WriteChunk(Stream& stream, const uint8_t* data, size_t size, bool keyFrame,
                            bool timed, REFERENCE_TIME start) {
  if (stream.setup.header.type == avi::kStreamVideo && timed && start > 0) {
    // A frame later than its slot: the frames between were dropped, and
    // each keeps its place as an empty chunk so the picture stays in time.
    const REFERENCE_TIME frame = stream.setup.frameTime;
    const uint64_t slot = uint64_t((start + frame / 2) / frame);
    if (slot > stream.chunks) {
      const uint64_t missing = std::min<uint64_t>(slot - stream.chunks, kMaxFilledFrames);
      for (uint64_t i = 0; i < missing; ++i) {
        if (!writer_->WriteChunk(stream.number, static_cast<const avi::ByteRange*>(nullptr), 0, false)) {
          failed_ = true;
          return false;
        }
        ++stream.chunks;
      }
    }
  }
  if (!writer_->WriteChunk(stream.number, data, size, keyFrame)) {
    failed_ = true;
    return false;
  }
  ++stream.chunks;
  return true;
}

bool MuxSession::Write(size_t index, const SampleData& sample) {
  if (failed_ || finished_ || index >= streams_.size()) return false;
  if (!begun_ && !Begin(index, sample)) return false;
  Stream& stream = streams_[index];
  if (options_.mode != INTERLEAVE_FULL) {
    return WriteChunk(stream, sample.data, sample.size, sample.keyFrame, sample.timed,
                      sample.start);
  }
  return Hold(index, sample) && Release(false);
}

REFERENCE_TIME MuxSession::OrderOf(Stream& stream, const SampleData& sample) {
  REFERENCE_TIME order = stream.nextOrder;
  if (sample.timed) order = sample.start;
  // Where the next sample falls when it comes without times.
  if (stream.setup.header.type == avi::kStreamVideo) {
    stream.nextOrder = order + stream.setup.frameTime;
  } else {
    stream.audioBytes += sample.size;
    const REFERENCE_TIME length =
        REFERENCE_TIME(double(sample.size) * UNITS / stream.setup.bytesPerSecond);
    stream.nextOrder = sample.timed && sample.stop > sample.start ? sample.stop : order + length;
  }
  return order;
}

bool MuxSession::Hold(size_t index, const SampleData& sample) {
  Stream& stream = streams_[index];
  Held held;
  if (!spare_.empty()) {
    held.bytes = std::move(spare_.back());
    spare_.pop_back();
  }
  held.bytes.assign(sample.data, sample.data + sample.size);
  held.keyFrame = sample.keyFrame;
  held.timed = sample.timed;
  held.start = sample.start;
  held.order = OrderOf(stream, sample);
  heldBytes_ += sample.size;
  stream.held.push_back(std::move(held));
  return true;
}

bool MuxSession::Release(bool all) {
  for (;;) {
    Stream* earliest = nullptr;
    bool waiting = false;  // a stream that may still send has nothing held
    for (Stream& stream : streams_) {
      if (stream.held.empty()) {
        waiting = waiting || !stream.ended;
        continue;
      }
      if (earliest == nullptr || stream.held.front().order < earliest->held.front().order) {
        earliest = &stream;
      }
    }
    if (earliest == nullptr) return true;
    if (waiting && !all && heldBytes_ <= options_.holdLimit) return true;
    Held held = std::move(earliest->held.front());
    earliest->held.pop_front();
    heldBytes_ -= held.bytes.size();
    const bool written = WriteChunk(*earliest, held.bytes.data(), held.bytes.size(), held.keyFrame,
                                    held.timed, held.start);
    spare_.push_back(std::move(held.bytes));
    if (!written) return false;
  }
}

bool MuxSession::EndStream(size_t index) {
  if (index >= streams_.size()) return false;
  streams_[index].ended = true;
  if (failed_ || !begun_) return !failed_;
  return Release(false);
}

bool MuxSession::AllEnded() const {
  return std::all_of(streams_.begin(), streams_.end(), [](const Stream& s) { return s.ended; });
}

bool MuxSession::Finish() {
  if (finished_) return !failed_;
  if (failed_) return false;
  if (!begun_ && !Begin(0, SampleData{})) return false;
  if (!Release(true)) return false;
  finished_ = true;
  if (!writer_->Finish()) failed_ = true;
  return !failed_;
}

}  // namespace ksv::media::avimux
