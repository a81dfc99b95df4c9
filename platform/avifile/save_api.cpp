// The save calls.
#include <cstdarg>
#include <new>
#include <vector>

#include "platform/avifile/avi_save.h"

extern "C" {

HRESULT AVISaveVA(const char* file, CLSID* handler, AVISAVECALLBACK progress, int count,
                  PAVISTREAM* streams, LPAVICOMPRESSOPTIONS* options) {
  if (handler != nullptr) return AVIERR_UNSUPPORTED;
  if (count <= 0 || streams == nullptr) return AVIERR_BADPARAM;
  std::vector<const AVICOMPRESSOPTIONS*> chosen(static_cast<size_t>(count), nullptr);
  if (options != nullptr) {
    for (int i = 0; i < count; ++i) chosen[size_t(i)] = options[i];
  }
  try {
    return ksv::avifile::SaveStreams(file, {streams, static_cast<size_t>(count)}, chosen,
                                     progress);
  } catch (const std::bad_alloc&) {
    return AVIERR_MEMORY;  // the partial file went with the save's sink
  }
}

HRESULT AVISaveA(const char* file, CLSID* handler, AVISAVECALLBACK progress, int count,
                 PAVISTREAM stream, LPAVICOMPRESSOPTIONS options, ...) {
  if (count <= 0) return AVIERR_BADPARAM;
  std::vector<PAVISTREAM> streams{stream};
  std::vector<LPAVICOMPRESSOPTIONS> chosen{options};
  va_list more;
  va_start(more, options);
  for (int i = 1; i < count; ++i) {
    streams.push_back(va_arg(more, PAVISTREAM));
    chosen.push_back(va_arg(more, LPAVICOMPRESSOPTIONS));
  }
  va_end(more);
  return AVISaveVA(file, handler, progress, count, streams.data(), chosen.data());
}

}  // extern "C"
