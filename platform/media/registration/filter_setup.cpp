#include "platform/media/registration/filter_setup.h"

#include "include/win32_errors.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"

namespace ksv::media {
namespace {

HRESULT CreateMapper(com::ComPtr<IFilterMapper2>* mapper) {
  return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                          reinterpret_cast<void**>(mapper->ReleaseAndGetAddressOf()));
}

bool Missing(HRESULT result) {
  return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

}  // namespace

HRESULT RegisterFilterSetup(const AMOVIESETUP_FILTER& setup, const void* addressInModule,
                            const char* threadingModel, const CLSID* category) {
  if (setup.clsID == nullptr || setup.strName == nullptr) return E_POINTER;
  const std::string name = com::Utf16ToUtf8(com::WideView(setup.strName));
  HRESULT result =
      com::RegisterInprocServer(*setup.clsID, name.c_str(), threadingModel, addressInModule);
  if (FAILED(result)) return result;
  return RegisterFilterWithMapper(setup, category);
}

HRESULT RegisterFilterWithMapper(const AMOVIESETUP_FILTER& setup, const CLSID* category) {
  if (setup.clsID == nullptr || setup.strName == nullptr) return E_POINTER;
  com::ComPtr<IFilterMapper2> mapper;
  const HRESULT result = CreateMapper(&mapper);
  if (FAILED(result)) return result;
  mapper->UnregisterFilter(category, nullptr, *setup.clsID);
  REGFILTER2 record{};
  record.dwVersion = 1;
  record.dwMerit = setup.dwMerit;
  record.cPins = setup.nPins;
  record.rgPins = setup.lpPin;
  return mapper->RegisterFilter(*setup.clsID, setup.strName, nullptr, category, nullptr, &record);
}

HRESULT UnregisterFilterSetup(const AMOVIESETUP_FILTER& setup, const CLSID* category) {
  if (setup.clsID == nullptr) return E_POINTER;
  const HRESULT result = UnregisterFilterFromMapper(setup, category);
  const HRESULT classResult = com::UnregisterInprocServer(*setup.clsID);
  return FAILED(result) ? result : classResult;
}

HRESULT UnregisterFilterFromMapper(const AMOVIESETUP_FILTER& setup, const CLSID* category) {
  if (setup.clsID == nullptr) return E_POINTER;
  com::ComPtr<IFilterMapper2> mapper;
  HRESULT result = CreateMapper(&mapper);
  // Without the framework installed no filter can be listed in its mapper:
  // there is nothing to take out.
  if (result == REGDB_E_CLASSNOTREG) return S_OK;
  if (FAILED(result)) return result;
  result = mapper->UnregisterFilter(category, nullptr, *setup.clsID);
  return Missing(result) ? S_OK : result;
}

}  // namespace ksv::media
