// The four entry points of a plug-in, made from its table of templates (an
// array of CFactoryTemplate):
//
//   const CFactoryTemplate kTemplates[] = {{u"My Filter", &CLSID_MyFilter, ...}};
//   KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
//
// DllGetClassObject and DllCanUnloadNow serve COM. A filter plug-in's
// DllRegisterServer registers every class with the module's own path and,
// from the templates' registration records, its filter in the filter mapper
// (RegisterTemplateSetups); a plug-in of other classes, or of filters made
// only through device monikers, registers the classes alone
// (KSV_CLASS_PLUGIN_ENTRY_POINTS: RegisterTemplates, which still lists a
// filter whose object offers IAMovieSetup). DllUnregisterServer undoes it.
// No exception leaves an entry point: a failed allocation answers
// E_OUTOFMEMORY, and DllCanUnloadNow answers S_FALSE (stay loaded).
#pragma once

#include <iterator>

#include "support/no_throw.h"
#include "include/ksv_export.h"
#include "platform/com/com_method.h"
#include "platform/media/base/factory.h"

#define KSV_PLUGIN_ENTRY_POINTS_REGISTERED_BY(templates, registerTemplates)                 \
  extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid,               \
                                                  void** object) {                          \
    return ::ksv::com::ComMethod([&] {                                                      \
      return ::ksv::media::GetClassObjectFromTemplates(                                     \
          templates, static_cast<int>(std::size(templates)), clsid, iid, object);           \
    });                                                                                     \
  }                                                                                         \
  extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() {                                         \
    return ::ksv::support::NoThrow(S_FALSE, [] { return ::ksv::media::CanUnloadNow(); });    \
  }                                                                                         \
  extern "C" KSV_EXPORT HRESULT DllRegisterServer() {                                       \
    return ::ksv::com::ComMethod([] {                                                       \
      return registerTemplates(templates, static_cast<int>(std::size(templates)),           \
                               reinterpret_cast<const void*>(&DllRegisterServer), true);    \
    });                                                                                     \
  }                                                                                         \
  extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {                                     \
    return ::ksv::com::ComMethod([] {                                                       \
      return registerTemplates(templates, static_cast<int>(std::size(templates)), nullptr,  \
                               false);                                                      \
    });                                                                                     \
  }

#define KSV_FILTER_PLUGIN_ENTRY_POINTS(templates) \
  KSV_PLUGIN_ENTRY_POINTS_REGISTERED_BY(templates, ::ksv::media::RegisterTemplateSetups)
#define KSV_CLASS_PLUGIN_ENTRY_POINTS(templates) \
  KSV_PLUGIN_ENTRY_POINTS_REGISTERED_BY(templates, ::ksv::media::RegisterTemplates)
