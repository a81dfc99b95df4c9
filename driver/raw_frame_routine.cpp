// The raw-frame routine runs at passive level in the class driver's frame
// processing: it assembles the packets, decodes or passes the frame through,
// and falls back to the last good frame. It uses only the buffers allocated
// at device start.
#include <algorithm>
#include <cstring>

#include "driver/frame_assembly.h"
#include "driver/frame_tag.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "driver/snapshot_step.h"

namespace ksv::driver {
namespace {

using platform::kernel::STATUS_DEVICE_DATA_ERROR;
using platform::kernel::STATUS_INSUFFICIENT_RESOURCES;
using platform::kernel::STATUS_INVALID_PARAMETER;
using platform::kernel::STATUS_SUCCESS;

bool HasFrameBuffers(const CameraDeviceExtension& extension) {
  return extension.AssemblyBuffer != nullptr && extension.LastGoodFrame != nullptr &&
         extension.LastGoodEncoded != nullptr;
}

// Decodes the last good frame from its compressed bytes, once, the first
// time a frame repeats it after it came. The stream's sizes and output are
// those it was decoded with: a new format starts a new stream, which has no
// good frame until one decodes.
void MaterialiseLastGoodFrame(CameraDeviceExtension& extension) {
  extension.LastGoodFramePending = 0;
  uint32_t written = 0;
  const bool decoded =
      ModuleDecoder()
          .DecodeFrame(extension.LastGoodContext,
                       {extension.LastGoodEncoded, extension.LastGoodEncodedLength},
                       {extension.LastGoodFrame, kLastGoodFrameSize}, written,
                       {extension.DecodeWidth, extension.DecodeHeight},
                       {extension.OutputWidth, extension.OutputHeight}, extension.CompressionCode)
          .ok();
  // It decoded when it came; should it not now, no stale picture stands in.
  if (!decoded) std::fill_n(extension.LastGoodFrame, kLastGoodFrameSize, uint8_t{0});
}

// Copies the last good frame into the output, as much of it as both hold.
// Before this stream's first good frame the last good one is an earlier
// stream's: zeros stand in instead.
uint32_t RepeatLastGoodFrame(CameraDeviceExtension& extension, std::span<uint8_t> output) {
  const size_t count = std::min<size_t>(output.size(), kLastGoodFrameSize);
  if (extension.StreamHasGoodFrame == 0) {
    std::fill_n(output.begin(), count, uint8_t{0});
  } else {
    if (extension.LastGoodFramePending != 0) MaterialiseLastGoodFrame(extension);
    std::memcpy(output.data(), extension.LastGoodFrame, count);
  }
  return static_cast<uint32_t>(count);
}

// Keeps a frame that decoded as the last good one: its compressed bytes and
// the decoder settings, not the picture.
void RememberLastGoodFrame(CameraDeviceExtension& extension, std::span<const uint8_t> frame) {
  const size_t count = std::min<size_t>(frame.size(), kAssemblyBufferSize);
  std::memcpy(extension.LastGoodEncoded, frame.data(), count);
  extension.LastGoodEncodedLength = static_cast<uint32_t>(count);
  extension.LastGoodContext = extension.DecoderContext;
  extension.LastGoodFramePending = 1;
  extension.StreamHasGoodFrame = 1;
}

// A frame that lost packets (or cannot be assembled whole) is never decoded:
// pass-through readers get the damage mark, others the last good frame, or
// zeros for frame 1 of a stream (the packets before the camera's first frame
// start, the tail of a frame the stream joined mid-way) so that no picture of
// an earlier stream stands in for it.
uint32_t WriteDamagedFrame(CameraDeviceExtension& extension, FrameTag tag,
                           std::span<uint8_t> output) {
  if (extension.CompressionCode == kCompressionKxjs) {
    const size_t count = std::min(output.size(), kDamagedPassThroughMark.size());
    std::memcpy(output.data(), kDamagedPassThroughMark.data(), count);
    return static_cast<uint32_t>(output.size());
  }
  if (tag.frameNumber == 1) {
    std::fill(output.begin(), output.end(), uint8_t{0});
    return static_cast<uint32_t>(output.size());
  }
  return RepeatLastGoodFrame(extension, output);
}

// The 172-byte header and then the assembled frame unchanged. The reader's
// buffer is sized for the stream's picture, which a pass-through frame can
// exceed; the copy stops at the buffer's end and the frame is counted as
// truncated (the reader sees the shorter length returned).
uint32_t WritePassThroughFrame(CameraDeviceExtension& extension, uint32_t dataLength,
                               std::span<uint8_t> output) {
  const PassThroughHeader header = MakePassThroughHeader(
      static_cast<uint8_t>(extension.DecoderContext.gammaLevel), extension.ContrastSetting);
  const size_t headerBytes = std::min(output.size(), header.size());
  std::memcpy(output.data(), header.data(), headerBytes);
  const size_t frameBytes = std::min<size_t>(dataLength, kAssemblyBufferSize);
  const size_t room = output.size() - headerBytes;
  const size_t copied = std::min(frameBytes, room);
  std::memcpy(output.data() + headerBytes, extension.AssemblyBuffer, copied);
  if (copied < frameBytes) ++extension.TruncatedPassThroughFrames;
  return static_cast<uint32_t>(headerBytes + copied);
}

uint32_t DecodeOrRepeat(CameraDeviceExtension& extension, std::span<const uint8_t> frame,
                        std::span<uint8_t> output) {
  uint32_t written = 0;
  const bool decoded = ModuleDecoder()
                           .DecodeFrame(extension.DecoderContext, frame, output, written,
                                        {extension.DecodeWidth, extension.DecodeHeight},
                                        {extension.OutputWidth, extension.OutputHeight},
                                        extension.CompressionCode)
                           .ok();
  if (!decoded) {
    ++extension.DecodeFailures;
    return RepeatLastGoodFrame(extension, output);
  }
  RememberLastGoodFrame(extension, frame);
  return static_cast<uint32_t>(std::min<size_t>(output.size(), kLastGoodFrameSize));
}

}  // namespace

NTSTATUS CamProcessRawVideoFrame(DEVICE_OBJECT*, void* deviceContext, void* frameContext,
                                 void* frameBuffer, uint32_t frameLength, void* rawFrameBuffer,
                                 uint32_t rawFrameLength, uint32_t numberOfPackets,
                                 uint32_t* bytesReturned) {
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (!HasFrameBuffers(extension)) return STATUS_INSUFFICIENT_RESOURCES;
  if (frameBuffer == nullptr || bytesReturned == nullptr) return STATUS_INVALID_PARAMETER;
  if (rawFrameBuffer == nullptr) rawFrameLength = 0;
  const std::span<uint8_t> output(static_cast<uint8_t*>(frameBuffer), frameLength);
  const FrameTag tag = frameContext != nullptr ? FrameTag::Read(frameContext) : FrameTag{};
  if (tag.damaged) {
    *bytesReturned = WriteDamagedFrame(extension, tag, output);
    return STATUS_SUCCESS;
  }

  const std::span<uint8_t> assembly(extension.AssemblyBuffer, kAssemblyBufferSize);
  const AssembledFrame assembled =
      AssembleFrame({static_cast<const uint8_t*>(rawFrameBuffer), rawFrameLength},
                    numberOfPackets, extension.MaximumPacketSize, assembly);
  if (assembled.overflowed) {
    // More packets than any frame of the stream has: not a frame to decode.
    ++extension.OversizedFrames;
    *bytesReturned = WriteDamagedFrame(extension, tag, output);
    return STATUS_SUCCESS;
  }
  const uint32_t dataLength = assembled.packets * uint32_t{extension.MaximumPacketSize};
  StampAssembledFrame(assembly, frameLength, dataLength);
  // The decoder reads no further than the bytes assembled for this frame.
  const auto frame =
      assembly.first(std::max<size_t>(assembled.bytes, codec::kFrameHeaderSize));

  if (extension.CompressionCode == kCompressionKxjs) {
    *bytesReturned = WritePassThroughFrame(extension, dataLength, output);
  } else {
    *bytesReturned = DecodeOrRepeat(extension, frame, output);
  }
  if (SnapshotRequested(extension)) RunSnapshotStep(extension, frame);
  return STATUS_SUCCESS;
}

}  // namespace ksv::driver
