// The filter mapper (CLSID_FilterMapper2): registers filters under their
// categories and finds registered filters by merit and pin media types.
//
// Choices where the platform leaves room:
//   - a filter's effective merit is the "Merit" REG_DWORD under its class
//     key when present, else the merit of its filter data;
//   - EnumMatchingFilters looks in the legacy filter category and in every
//     category listed by CreateCategory; when the asked merit is above
//     MERIT_DO_NOT_USE, categories of merit MERIT_DO_NOT_USE or less are
//     skipped (the legacy category counts as MERIT_NORMAL unless listed);
//   - input (output) criteria (types, medium, pin category, render) must be
//     met together by one input (output) pin; with no criteria and no need,
//     pins do not matter;
//   - RegisterFilter's moniker argument is output only.
#pragma once

#include "platform/com/com_object.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::media::registration {

class FilterMapper : public com::ComObject<IFilterMapper2> {
 public:
  HRESULT CreateCategory(REFCLSID category, DWORD categoryMerit, LPCWSTR description) override;
  HRESULT UnregisterFilter(const CLSID* category, LPCOLESTR instance, REFCLSID filter) override;
  HRESULT RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker, const CLSID* category,
                         LPCOLESTR instance, const REGFILTER2* data) override;
  HRESULT EnumMatchingFilters(IEnumMoniker** enumerator, DWORD flags, BOOL exactMatch,
                              DWORD merit, BOOL inputNeeded, DWORD inputTypeCount,
                              const GUID* inputTypes, const REGPINMEDIUM* inputMedium,
                              const CLSID* inputPinCategory, BOOL render, BOOL outputNeeded,
                              DWORD outputTypeCount, const GUID* outputTypes,
                              const REGPINMEDIUM* outputMedium,
                              const CLSID* outputPinCategory) override;
};

}  // namespace ksv::media::registration
