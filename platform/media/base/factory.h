// Class factories from a table of templates, as a filter plug-in declares
// its classes: each CFactoryTemplate names a class, its identifier, the
// function that makes an instance and, for a filter, its registration
// record. KSV_FILTER_PLUGIN_ENTRY_POINTS (plugin_entry_points.h) makes a
// plug-in's entry points from the table with the helpers below.
#pragma once

#include "platform/com/class_factory.h"
#include "platform/media/base/com_base.h"

struct AMOVIESETUP_FILTER;  // the filter's registration record, when it has one

typedef CUnknown* (*LPFNNewCOMObject)(LPUNKNOWN outer, HRESULT* result);
typedef void (*LPFNInitRoutine)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
  const WCHAR* m_Name;
  const CLSID* m_ClsID;
  LPFNNewCOMObject m_lpfnNew;
  LPFNInitRoutine m_lpfnInit = nullptr;
  const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter = nullptr;

  BOOL IsClassID(REFCLSID clsid) const { return *m_ClsID == clsid; }
  CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result) const {
    return m_lpfnNew(outer, result);
  }
};

namespace ksv::media {

// The class factory for the template whose class is `clsid`
// (CLASS_E_CLASSNOTAVAILABLE when none is); only IUnknown and
// IClassFactory may be asked for.
HRESULT GetClassObjectFromTemplates(const CFactoryTemplate* templates, int count, REFCLSID clsid,
                                    REFIID iid, void** object);
// S_OK when no object of the module lives and no server lock is held.
HRESULT CanUnloadNow();

// What a plug-in's DllRegisterServer (`registering`) and DllUnregisterServer
// do over its template table: each class registered under
// HKEY_CLASSES_ROOT\CLSID with the module's path and the threading model
// "Both"; then an object of each made and, when it offers IAMovieSetup, its
// filter removed from the filter mapper and (registering) added again. A
// class whose object offers no IAMovieSetup is skipped without error;
// unregistering removes the class keys last. The first failure is returned.
HRESULT RegisterTemplates(const CFactoryTemplate* templates, int count,
                          const void* addressInModule, bool registering);

// The same from the templates' own registration records
// (m_pAMovieSetup_Filter), without making objects: registering stops at
// the first failure; unregistering goes through every template and returns
// the first failure.
HRESULT RegisterTemplateSetups(const CFactoryTemplate* templates, int count,
                               const void* addressInModule, bool registering);

}  // namespace ksv::media
