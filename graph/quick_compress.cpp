#include "graph/quick_compress.h"

#include "graph/graph_routines.h"
#include "include/vexel5.h"
#include "platform/com/com_ptr.h"

namespace ksv::graph {

namespace {

void PutLittleEndian(uint8_t* at, uint32_t value) {
  for (int byte = 0; byte < 4; ++byte) at[byte] = uint8_t(value >> (8 * byte));
}

}  // namespace

std::array<uint8_t, kQuickCompressRecordSize> QuickCompressRecord() {
  std::array<uint8_t, kQuickCompressRecordSize> record{};
  PutLittleEndian(&record[0], kQuickCompressRecordSize);
  PutLittleEndian(&record[4], VEXEL5_RECORD_FOURCC);
  PutLittleEndian(&record[8], VEXEL5_VERSION);
  PutLittleEndian(&record[12], 6);           // quality level
  PutLittleEndian(&record[16], 2);           // key-frame spacing
  PutLittleEndian(&record[20], 0x80000100);  // flags
  PutLittleEndian(&record[76], 1);           // QuickCompress
  return record;
}

void QuickCompress(IBaseFilter* compressor, bool reportSuccess) {
  if (compressor == nullptr) return;
  com::ComPtr<IVexelEncode> encoder;
  if (FAILED(compressor->QueryInterface(IID_IVexelEncode,
                                        reinterpret_cast<void**>(encoder.GetAddressOf())))) {
    DebugLine("Could not get the IVexelEncode interface of the video compressor!\n");
    return;
  }
  const auto record = QuickCompressRecord();
  if (FAILED(encoder->SetSettings(record.data()))) {
    DebugLine("Could not set QuickCompress on Vexel filter!\n");
  } else if (reportSuccess) {
    DebugLine("QuickCompress on Vexel succeeded!\n");
  }
}

}  // namespace ksv::graph
