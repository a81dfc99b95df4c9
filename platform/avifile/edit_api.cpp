// The edit-stream calls.
#include "platform/avifile/edit_stream.h"

using ksv::avifile::EditStream;

namespace {

HRESULT CopyOut(PAVISTREAM pstream, LONG* start, LONG* length, PAVISTREAM* result,
                bool remove) {
  if (result) *result = nullptr;
  if (pstream == nullptr) return AVIERR_BADHANDLE;
  if (start == nullptr || length == nullptr) return AVIERR_BADPARAM;
  EditStream* editable = pstream->AsEditable();
  if (editable == nullptr) return AVIERR_UNSUPPORTED;
  if (!editable->Clamp(start, length)) return AVIERR_BADPARAM;
  EditStream* copy = editable->Copy(*start, *length);
  if (remove) editable->Remove(*start, *length);
  if (result) {
    *result = copy;
  } else {
    ksv::avifile::Release(copy);
  }
  return AVIERR_OK;
}

}  // namespace

extern "C" {

HRESULT CreateEditableStream(PAVISTREAM* ppeditable, PAVISTREAM source) {
  if (ppeditable == nullptr) return AVIERR_BADPARAM;
  *ppeditable = nullptr;
  if (source == nullptr) return AVIERR_BADHANDLE;
  *ppeditable = new EditStream(source);
  return AVIERR_OK;
}

HRESULT EditStreamCopy(PAVISTREAM pstream, LONG* start, LONG* length, PAVISTREAM* result) {
  return CopyOut(pstream, start, length, result, false);
}

HRESULT EditStreamCut(PAVISTREAM pstream, LONG* start, LONG* length, PAVISTREAM* result) {
  return CopyOut(pstream, start, length, result, true);
}

HRESULT EditStreamPaste(PAVISTREAM pstream, LONG* pos, LONG* pastedLength, PAVISTREAM source,
                        LONG sourceStart, LONG length) {
  if (pastedLength) *pastedLength = 0;
  if (pstream == nullptr || source == nullptr) return AVIERR_BADHANDLE;
  if (pos == nullptr) return AVIERR_BADPARAM;
  EditStream* editable = pstream->AsEditable();
  if (editable == nullptr) return AVIERR_UNSUPPORTED;
  if (!editable->Compatible(*source)) return AVIERR_UNSUPPORTED;
  if (length < 0) {
    sourceStart = source->Start();
    length = static_cast<LONG>(source->info.dwLength);
  }
  // The part of the source range the source holds.
  const LONG begin = std::clamp(sourceStart, source->Start(), source->End());
  const LONG end = std::clamp(sourceStart + length, begin, source->End());
  if (end == begin) return AVIERR_BADPARAM;
  *pos = std::clamp(*pos, pstream->Start(), pstream->End());
  editable->Insert(*pos, source, begin, end - begin);
  if (pastedLength) *pastedLength = end - begin;
  return AVIERR_OK;
}

}  // extern "C"
