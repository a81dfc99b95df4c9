#include "outside/bulk/memory/jpeg_file.h"

#include <algorithm>
#include <stdexcept>

#include "codec/annex_k.h"

namespace ksv::outside::bulk {

namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kDefineQuantTables = 0xDB;
constexpr uint8_t kStartOfFrameBaseline = 0xC0;
constexpr uint8_t kDefineHuffmanTables = 0xC4;
constexpr uint8_t kStartOfScan = 0xDA;

class SegmentWriter {
 public:
  explicit SegmentWriter(std::vector<uint8_t>& out) : out_(out) {}

  void Marker(uint8_t code) {
    out_.push_back(kMarker);
    out_.push_back(code);
  }
  // A marker with a length field: `payload` bytes follow it.
  void Segment(uint8_t code, size_t payload) {
    Marker(code);
    Word(static_cast<uint16_t>(payload + 2));
  }
  void Byte(uint8_t value) { out_.push_back(value); }
  void Word(uint16_t value) {  // big-endian, as every JPEG field
    out_.push_back(static_cast<uint8_t>(value >> 8));
    out_.push_back(static_cast<uint8_t>(value));
  }

 private:
  std::vector<uint8_t>& out_;
};

// A file may define several tables in one segment or give each its own;
// the camera's stored-picture header gives each its own.
enum class TableSegments { kShared, kOnePerTable };

void WriteQuantTables(SegmentWriter& out, const codec::QuantPair& tables, TableSegments layout) {
  if (layout == TableSegments::kShared) out.Segment(kDefineQuantTables, 2 * 65);
  const codec::QuantTable* pair[2] = {&tables.luminance, &tables.chrominance};
  for (uint8_t id = 0; id < 2; ++id) {
    if (layout == TableSegments::kOnePerTable) out.Segment(kDefineQuantTables, 65);
    out.Byte(id);  // 8-bit precision, table id
    for (size_t k = 0; k < 64; ++k) out.Byte((*pair[id])[codec::kZigZag[k]]);
  }
}

void WriteFrameHeader(SegmentWriter& out, uint32_t width, uint32_t height) {
  out.Segment(kStartOfFrameBaseline, 6 + 3 * 3);
  out.Byte(8);  // sample precision
  out.Word(static_cast<uint16_t>(height));
  out.Word(static_cast<uint16_t>(width));
  out.Byte(3);
  out.Byte(1), out.Byte(0x22), out.Byte(0);  // Y: 2x2 sampling, table 0
  out.Byte(2), out.Byte(0x11), out.Byte(1);  // Cb
  out.Byte(3), out.Byte(0x11), out.Byte(1);  // Cr
}

void WriteHuffmanTables(SegmentWriter& out, TableSegments layout) {
  struct Entry {
    uint8_t classAndId;  // class (0 DC, 1 AC) << 4 | id
    const codec::HuffmanSpec& spec;
  };
  const Entry entries[] = {{0x00, codec::kLuminanceDc},
                           {0x10, codec::kLuminanceAc},
                           {0x01, codec::kChrominanceDc},
                           {0x11, codec::kChrominanceAc}};
  auto payloadOf = [](const Entry& e) { return 1 + 16 + e.spec.symbols.size(); };
  if (layout == TableSegments::kShared) {
    size_t payload = 0;
    for (const Entry& e : entries) payload += payloadOf(e);
    out.Segment(kDefineHuffmanTables, payload);
  }
  for (const Entry& e : entries) {
    if (layout == TableSegments::kOnePerTable) out.Segment(kDefineHuffmanTables, payloadOf(e));
    out.Byte(e.classAndId);
    for (uint8_t count : e.spec.counts) out.Byte(count);
    for (uint8_t symbol : e.spec.symbols) out.Byte(symbol);
  }
}

void WriteScanHeader(SegmentWriter& out) {
  out.Segment(kStartOfScan, 1 + 3 * 2 + 3);
  out.Byte(3);
  out.Byte(1), out.Byte(0x00);  // Y: DC table 0, AC table 0
  out.Byte(2), out.Byte(0x11);  // Cb: DC table 1, AC table 1
  out.Byte(3), out.Byte(0x11);  // Cr
  out.Byte(0);                  // first coefficient
  out.Byte(63);                 // last coefficient
  out.Byte(0);                  // no successive approximation
}

void CheckSize(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF) {
    throw std::invalid_argument("a JPEG picture must be 1 to 65535 samples each way");
  }
}

// Everything before the entropy data.
void WriteHeader(std::vector<uint8_t>& jpeg, const codec::QuantPair& tables, uint32_t width,
                 uint32_t height, TableSegments layout) {
  CheckSize(width, height);
  SegmentWriter out(jpeg);
  out.Marker(kStartOfImage);
  out.Segment(kApp0, 14);
  for (uint8_t c : {'J', 'F', 'I', 'F', '\0'}) out.Byte(c);
  out.Word(0x0101);  // version 1.01
  out.Byte(0);       // no units: the densities give the pixel aspect ratio
  out.Word(1);
  out.Word(1);
  out.Byte(0);  // no thumbnail
  out.Byte(0);
  WriteQuantTables(out, tables, layout);
  WriteFrameHeader(out, width, height);
  WriteHuffmanTables(out, layout);
  WriteScanHeader(out);
}

}  // namespace

std::array<uint8_t, kStoredPictureHeaderSize> StoredPictureHeader(const codec::QuantPair& tables,
                                                                  uint32_t width, uint32_t height) {
  std::vector<uint8_t> bytes;
  bytes.reserve(kStoredPictureHeaderSize);
  WriteHeader(bytes, tables, width, height, TableSegments::kOnePerTable);
  std::array<uint8_t, kStoredPictureHeaderSize> header{};
  if (bytes.size() != header.size()) throw std::logic_error("stored picture header size changed");
  std::copy(bytes.begin(), bytes.end(), header.begin());
  return header;
}

void AppendStuffed(std::span<const uint8_t> entropy, std::vector<uint8_t>& out) {
  // Inside a JPEG scan a 0xFF byte would start a marker; the camera's stream
  // has no markers, so every 0xFF is data and gets a stuffed 0x00.
  for (uint8_t byte : entropy) {
    out.push_back(byte);
    if (byte == kMarker) out.push_back(0x00);
  }
}

void AppendEndOfImage(std::vector<uint8_t>& out) {
  out.push_back(kMarker);
  out.push_back(kEndOfImage);
}

std::vector<uint8_t> WrapAsJpeg(std::span<const uint8_t> entropy, const codec::QuantPair& tables,
                                uint32_t width, uint32_t height) {
  std::vector<uint8_t> jpeg;
  jpeg.reserve(entropy.size() + entropy.size() / 64 + 700);
  WriteHeader(jpeg, tables, width, height, TableSegments::kShared);
  AppendStuffed(entropy, jpeg);
  AppendEndOfImage(jpeg);
  return jpeg;
}

}  // namespace ksv::outside::bulk
