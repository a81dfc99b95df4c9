// The four entry points of a filter plug-in, made from its table of
// templates (an array of CFactoryTemplate whose entries carry their
// registration records):
//
//   const CFactoryTemplate kTemplates[] = {{u"My Filter", &CLSID_MyFilter, ...}};
//   KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
//
// DllGetClassObject and DllCanUnloadNow serve COM; DllRegisterServer
// registers every class with the module's own path and its filter in the
// filter mapper; DllUnregisterServer takes them out again.
#pragma once

#include <iterator>

#include "include/ksv_export.h"
#include "platform/media/base/factory.h"

#define KSV_FILTER_PLUGIN_ENTRY_POINTS(templates)                                           \
  extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid,               \
                                                  void** object) {                          \
    return ::ksv::media::GetClassObjectFromTemplates(                                       \
        templates, static_cast<int>(std::size(templates)), clsid, iid, object);             \
  }                                                                                         \
  extern "C" KSV_EXPORT HRESULT DllCanUnloadNow() { return ::ksv::media::CanUnloadNow(); } \
  extern "C" KSV_EXPORT HRESULT DllRegisterServer() {                                       \
    return ::ksv::media::RegisterTemplateSetups(                                            \
        templates, static_cast<int>(std::size(templates)),                                  \
        reinterpret_cast<const void*>(&DllRegisterServer), true);                           \
  }                                                                                         \
  extern "C" KSV_EXPORT HRESULT DllUnregisterServer() {                                     \
    return ::ksv::media::RegisterTemplateSetups(                                            \
        templates, static_cast<int>(std::size(templates)), nullptr, false);                 \
  }
