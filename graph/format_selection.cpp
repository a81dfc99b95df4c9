#include <algorithm>
#include <cstdlib>
#include <vector>

#include "graph/live_graphs.h"

namespace ksv::graph {

bool SelectFormat(IAMStreamConfig* config, const QmgVideoFormat& format) {
  int count = 0, size = 0;
  if (config == nullptr || FAILED(config->GetNumberOfCapabilities(&count, &size))) return false;
  // The capabilities' own record (VIDEO_STREAM_CONFIG_CAPS) is not looked at.
  std::vector<BYTE> caps(size_t(std::max(size, 0)) + 1);
  for (int index = 0; index < count; ++index) {
    AM_MEDIA_TYPE* type = nullptr;
    if (FAILED(config->GetStreamCaps(index, &type, caps.data())) || type == nullptr) return false;
    bool applied = false;
    if (type->formattype == FORMAT_VideoInfo && type->pbFormat != nullptr &&
        type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
      const BITMAPINFOHEADER* header = HEADER(type->pbFormat);
      applied = header->biWidth == format.width && header->biHeight == format.height &&
                header->biCompression == format.compression && SUCCEEDED(config->SetFormat(type));
    }
    DeleteMediaType(type);
    if (applied) return true;
  }
  return false;
}

bool ReadFormat(IAMStreamConfig* config, QmgVideoFormat* format) {
  AM_MEDIA_TYPE* type = nullptr;
  if (config == nullptr || FAILED(config->GetFormat(&type)) || type == nullptr) return false;
  if (format != nullptr && type->formattype == FORMAT_VideoInfo && type->pbFormat != nullptr &&
      type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
    const BITMAPINFOHEADER* header = HEADER(type->pbFormat);
    format->width = header->biWidth;
    format->height = std::abs(header->biHeight);
    format->compression = header->biCompression;
  }
  DeleteMediaType(type);
  return true;
}

}  // namespace ksv::graph
