// The class keys under HKEY_CLASSES_ROOT\CLSID that in-process servers write
// from DllRegisterServer and COM reads to find them:
//   CLSID\{clsid}                 default value: the class's friendly name
//   CLSID\{clsid}\InprocServer32  default value: the module's absolute path
//                                 "ThreadingModel": "Apartment", "Free",
//                                 "Both" or "Neutral"
// Other values a framework keeps under the class key (a filter's "Merit"
// and the like) are written next to these with the registry calls on
// HKEY_CLASSES_ROOT and ClassKeyPath.
#pragma once

#include <optional>
#include <string>

#include "platform/com/guid.h"

namespace ksv::com {

// "CLSID\{XXXXXXXX-...}", the class key's path below HKEY_CLASSES_ROOT.
std::string ClassKeyPath(REFCLSID clsid);

// The absolute path of the shared object (or program) that holds `address`,
// from dladdr; nothing for an address outside any.
std::optional<std::string> ModulePathOf(const void* address);

// Writes the class key and its InprocServer32 key for the module that holds
// `addressInModule` (pass any function of the server). Writing it again is
// harmless and keeps the other values under the class key. S_OK, or
// SELFREG_E_CLASS when the module has no path or the registry cannot be
// written.
HRESULT RegisterInprocServer(REFCLSID clsid, const char* friendlyName, const char* threadingModel,
                             const void* addressInModule);

// Removes the class key with everything below it. S_OK also when it was not
// there; SELFREG_E_CLASS when the registry cannot be written.
HRESULT UnregisterInprocServer(REFCLSID clsid);

// What COM reads to load a class.
struct InprocServer {
  std::string path;
  std::string threadingModel;  // empty when absent
};
// REGDB_E_CLASSNOTREG when the class or its InprocServer32 path is missing,
// REGDB_E_READREGDB when the registry cannot be read.
HRESULT FindInprocServer(REFCLSID clsid, InprocServer* server);

}  // namespace ksv::com
