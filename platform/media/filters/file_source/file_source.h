// The File Source (Async.) filter: a file opened by IFileSourceFilter::Load
// and offered, unparsed, on one output pin that a parser pulls from. Its
// type is MEDIATYPE_Stream with a subtype sniffed from the first bytes (or
// the type Load was given). The filter has no thread of its own.
#pragma once

#include <string>

#include "platform/media/base/filter.h"
#include "platform/media/base/media_type.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filters/file_source/async_reader_pin.h"

namespace ksv::media::filters {

// The filter's registration record.
extern const AMOVIESETUP_FILTER kFileSourceSetup;

class FileSource : public CBaseFilter, public IFileSourceFilter {
 public:
  FileSource();
  ~FileSource() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  const AMOVIESETUP_FILTER* GetSetupData() override;

  // The pin appears once a file is loaded.
  int GetPinCount() override;
  CBasePin* GetPin(int index) override;

  // IFileSourceFilter. Load fails with the error of opening the file (a
  // missing file: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), and with
  // VFW_E_ALREADY_CONNECTED while the pin is connected.
  HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
  HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

  // The open file (-1 before Load); it stays the same while the pin is
  // connected, so readers use it without the lock.
  int Descriptor() const { return fd_; }
  const CMediaType& StreamType() const { return type_; }

 private:
  CCritSec lock_;
  AsyncReaderPin pin_;
  int fd_ = -1;
  std::u16string fileName_;
  CMediaType type_;
};

}  // namespace ksv::media::filters
