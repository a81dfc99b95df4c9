// The registered filters as the system device enumerator lists them: each
// category's entries with the friendly name, class identifier and merit
// read through their property bags. `ksvcam filters` prints them; `ksvcam
// graph` finds filters by friendly name in them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/moniker.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::ksvcam {

struct CatalogEntry {
  std::string friendlyName;
  std::optional<CLSID> clsid;
  // The merit the mapper uses: the class key's "Merit" when there is one,
  // else the filter data's; none for an entry with neither.
  std::optional<DWORD> merit;
  com::ComPtr<IMoniker> moniker;
};

// The entries of `category`, sorted by friendly name (the enumerator's
// order); empty for an empty or unknown category. Needs COM on the thread
// and the framework registered; throws CommandFailure when the device
// enumerator cannot be created.
std::vector<CatalogEntry> ReadCatalog(REFCLSID category);

}  // namespace ksv::ksvcam
