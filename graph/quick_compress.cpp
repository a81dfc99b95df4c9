#include "graph/quick_compress.h"

#include "graph/graph_routines.h"
#include "include/vexel5.h"
#include "platform/com/com_ptr.h"
#include "support/byte_order.h"

namespace ksv::graph {

std::array<uint8_t, kQuickCompressRecordSize> QuickCompressRecord() {
  std::array<uint8_t, kQuickCompressRecordSize> record{};
  support::StoreLe32(record, 0, kQuickCompressRecordSize);
  support::StoreLe32(record, 4, VEXEL5_RECORD_FOURCC);
  support::StoreLe32(record, 8, VEXEL5_VERSION);
  support::StoreLe32(record, 12, 6);           // quality level
  support::StoreLe32(record, 16, 2);           // key-frame spacing
  support::StoreLe32(record, 20, 0x80000100);  // flags
  support::StoreLe32(record, 76, 1);           // QuickCompress
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
