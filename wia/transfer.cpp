// Transfers of an item's picture: to a callback (the header, then the rows
// in chunks of the client's buffer) or into the service's buffer for a
// file. The rows are read into memory: a memory bitmap's rows are turned
// top first on that copy, never in the file, so an interrupted transfer
// cannot leave a picture upside down on disk.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "include/win32_errors.h"
#include "platform/wia/properties.h"
#include "wia/image_file.h"
#include "wia/usd_device.h"

namespace ksv::wia {

namespace {

bool ValidTransfer(const MINIDRV_TRANSFER_CONTEXT& transfer) {
  if (transfer.lSize != static_cast<LONG>(sizeof transfer)) return false;
  if (transfer.tymed == TYMED_FILE) {
    return transfer.guidFormatID == WiaImgFmt_BMP || transfer.guidFormatID == WiaImgFmt_MEMORYBMP;
  }
  if (transfer.tymed == TYMED_CALLBACK) {
    return transfer.guidFormatID == WiaImgFmt_MEMORYBMP && transfer.pTransferBuffer != nullptr &&
           transfer.lBufferSize > 0;
  }
  return transfer.pTransferBuffer != nullptr;
}

HRESULT Tell(MINIDRV_TRANSFER_CONTEXT& transfer, LONG reason, LONG status, LONG percent, LONG offset,
             LONG length) {
  if (transfer.pIWiaMiniDrvCallBack == nullptr) return S_OK;
  return transfer.pIWiaMiniDrvCallBack->MiniDrvCallback(reason, status, percent, offset, length, &transfer, 0);
}

HRESULT SendToCallback(MINIDRV_TRANSFER_CONTEXT& transfer, const ImageInformation& info, std::vector<BYTE>& rows) {
  const bool memoryBitmap = transfer.guidFormatID == WiaImgFmt_MEMORYBMP;
  const int32_t fileHeight = static_cast<int32_t>(info.header[8] | info.header[9] << 8 | info.header[10] << 16 |
                                                  static_cast<uint32_t>(info.header[11]) << 24);
  if (transfer.lHeaderSize > 0) {
    if (transfer.lHeaderSize > transfer.lBufferSize) return E_INVALIDARG;
    std::vector<BYTE> header(info.header);
    header.resize(static_cast<size_t>(transfer.lHeaderSize), 0);
    if (memoryBitmap) {
      // Rows top first, as the negative height says.
      const uint32_t height = static_cast<uint32_t>(-info.height);
      for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<BYTE>(height >> (8 * i));
    }
    std::memcpy(transfer.pTransferBuffer, header.data(), header.size());
    const HRESULT told = Tell(transfer, IT_MSG_DATA, IT_STATUS_TRANSFER_TO_CLIENT, 0, transfer.cbOffset,
                              transfer.lHeaderSize);
    if (told != S_OK) return told;
    transfer.cbOffset += transfer.lHeaderSize;
  }
  if (memoryBitmap && fileHeight > 0) {
    // Bottom-up in the file: turned on this copy.
    const size_t row = static_cast<size_t>(info.bytesPerLine);
    for (size_t top = 0, bottom = rows.size() / row; top + 1 < bottom; ++top, --bottom) {
      std::swap_ranges(rows.begin() + static_cast<ptrdiff_t>(top * row),
                       rows.begin() + static_cast<ptrdiff_t>((top + 1) * row),
                       rows.begin() + static_cast<ptrdiff_t>((bottom - 1) * row));
    }
  }
  const int64_t itemSize = std::max<LONG>(transfer.lItemSize, 1);
  for (size_t sent = 0; sent < rows.size();) {
    const size_t chunk = std::min(rows.size() - sent, static_cast<size_t>(transfer.lBufferSize));
    std::memcpy(transfer.pTransferBuffer, rows.data() + sent, chunk);
    const LONG percent = static_cast<LONG>((transfer.cbOffset + static_cast<int64_t>(chunk)) * 100 / itemSize);
    const HRESULT told = Tell(transfer, IT_MSG_DATA, IT_STATUS_TRANSFER_TO_CLIENT, percent, transfer.cbOffset,
                              static_cast<LONG>(chunk));
    if (told != S_OK) return told;
    transfer.cbOffset += static_cast<LONG>(chunk);
    sent += chunk;
  }
  return S_OK;
}

HRESULT CopyIntoBuffer(MINIDRV_TRANSFER_CONTEXT& transfer, const std::vector<BYTE>& rows) {
  transfer.cbOffset += transfer.lHeaderSize;
  HRESULT told = Tell(transfer, IT_MSG_STATUS, IT_STATUS_TRANSFER_FROM_DEVICE, 0, 0, 0);
  if (SUCCEEDED(told)) told = Tell(transfer, IT_MSG_STATUS, IT_STATUS_TRANSFER_FROM_DEVICE, 25, 0, 0);
  if (SUCCEEDED(told)) told = Tell(transfer, IT_MSG_STATUS, IT_STATUS_TRANSFER_FROM_DEVICE, 50, 0, 0);
  if (FAILED(told)) return told;
  if (transfer.pTransferBuffer != nullptr && transfer.lBufferSize >= transfer.cbOffset &&
      static_cast<size_t>(transfer.lBufferSize - transfer.cbOffset) >= rows.size()) {
    std::memcpy(transfer.pTransferBuffer + transfer.cbOffset, rows.data(), rows.size());
  }
  return Tell(transfer, IT_MSG_STATUS, IT_STATUS_TRANSFER_FROM_DEVICE, 100, 0, 0);
}

}  // namespace

HRESULT TransferPicture(BYTE* context, const std::string& itemFile, MINIDRV_TRANSFER_CONTEXT* transfer) {
  if (transfer == nullptr || !ValidTransfer(*transfer)) return E_INVALIDARG;
  const std::string extension = UpperExtension(itemFile);
  if (extension != ".BMP" && extension != ".JPG" && extension != ".AVI") return E_NOTIMPL;
  HRESULT result = wiasGetImageInformation(context, 0, transfer);
  if (FAILED(result)) return result;
  BitmapFile bitmap;
  if (FAILED(result = bitmap.Open(itemFile))) return result;
  ImageInformation info;
  if (FAILED(result = ReadImageInformation(bitmap.path(), itemFile, &info))) return result;
  // The item's properties must still describe the picture.
  if (info.width != transfer->lWidthInPixels || info.height != transfer->lLines ||
      info.bitsPerPixel != transfer->lDepth) {
    return E_FAIL;
  }
  std::vector<BYTE> rows;
  if (FAILED(result = ReadRows(bitmap.path(), info, &rows))) return result;
  return transfer->tymed == TYMED_CALLBACK ? SendToCallback(*transfer, info, rows) : CopyIntoBuffer(*transfer, rows);
}

}  // namespace ksv::wia
