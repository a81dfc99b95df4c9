#include "platform/media/avi/avi_header_layout.h"

#include "platform/media/avi/avi_headers.h"
#include "platform/media/avi/riff_chunks.h"
#include "support/byte_order.h"

namespace ksv::media::avi::layout {

using support::AppendLe16;
using support::AppendLe32;

namespace {

void AppendSuperIndex(std::vector<uint8_t>& out, const StreamLayout& stream) {
  AppendLe32(out, kSuperIndexId);
  AppendLe32(
      out, static_cast<uint32_t>(kIndexHeaderSize + stream.superIndexSlots * kSuperIndexEntrySize));
  AppendLe16(out, 4);  // longs per entry
  out.push_back(0);    // sub-type
  out.push_back(kIndexOfIndexes);
  AppendLe32(out, static_cast<uint32_t>(stream.superIndex.size()));
  AppendLe32(out, stream.chunkId);
  for (int i = 0; i < 3; ++i) AppendLe32(out, 0);
  for (uint32_t slot = 0; slot < stream.superIndexSlots; ++slot) {
    const SuperIndexEntry entry =
        slot < stream.superIndex.size() ? stream.superIndex[slot] : SuperIndexEntry{};
    AppendLe32(out, static_cast<uint32_t>(entry.offset));
    AppendLe32(out, static_cast<uint32_t>(entry.offset >> 32));
    AppendLe32(out, entry.size);
    AppendLe32(out, entry.duration);
  }
}

void AppendStreamList(std::vector<uint8_t>& out, const StreamLayout& stream) {
  const size_t list = BeginList(out, riff::kList, kStreamList);
  std::vector<uint8_t> header;
  AppendStreamHeader(header, *stream.header);
  AppendChunk(out, kStreamHeaderId, header);
  AppendChunk(out, kStreamFormatId, *stream.format);
  if (!stream.name->empty()) {
    std::vector<uint8_t> name(stream.name->begin(), stream.name->end());
    name.push_back(0);
    AppendChunk(out, kStreamNameId, name);
  }
  AppendSuperIndex(out, stream);
  EndList(out, list);
}

}  // namespace

std::vector<uint8_t> BuildHeaders(const HeaderLayout& layout) {
  std::vector<uint8_t> out;
  AppendLe32(out, riff::kRiff);
  AppendLe32(out, layout.riffSize);
  AppendLe32(out, kAvi);
  const size_t headerList = BeginList(out, riff::kList, kHeaderList);
  std::vector<uint8_t> main;
  AppendMainHeader(main, layout.main);
  AppendChunk(out, kMainHeaderId, main);
  for (const auto& stream : layout.streams) AppendStreamList(out, stream);
  const size_t odml = BeginList(out, riff::kList, kOpenDmlList);
  std::vector<uint8_t> extended(kExtendedHeaderSize, 0);
  support::StoreLe32(extended, 0, layout.totalFrames);
  AppendChunk(out, kExtendedHeaderId, extended);
  EndList(out, odml);
  EndList(out, headerList);
  // JUNK (at least its header) so that the first chunk lands on the boundary.
  const size_t moviList = 12;
  size_t end = out.size() + 8 + moviList;
  end = (end + kHeaderAlignment - 1) / kHeaderAlignment * kHeaderAlignment;
  const std::vector<uint8_t> junk(end - out.size() - 8 - moviList, 0);
  AppendChunk(out, riff::kJunk, junk);
  AppendLe32(out, riff::kList);
  AppendLe32(out, layout.moviSize);
  AppendLe32(out, kMovieList);
  return out;
}

}  // namespace ksv::media::avi::layout
