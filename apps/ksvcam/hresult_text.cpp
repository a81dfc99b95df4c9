#include "apps/ksvcam/hresult_text.h"

#include <cstdio>

#include "platform/com/inproc_servers.h"
#include "platform/media/vfw_errors.h"

namespace ksv::ksvcam {
namespace {

struct Named {
  HRESULT code;
  const char* name;
};

// The codes graph building and running answer most.
constexpr Named kNames[] = {
    {E_FAIL, "E_FAIL"},
    {E_NOTIMPL, "E_NOTIMPL"},
    {E_NOINTERFACE, "E_NOINTERFACE"},
    {E_POINTER, "E_POINTER"},
    {E_INVALIDARG, "E_INVALIDARG"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
    {E_UNEXPECTED, "E_UNEXPECTED"},
    {E_ABORT, "E_ABORT"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG: class not registered"},
    {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
    {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND: module not found"},
    {CO_E_ERRORINDLL, "CO_E_ERRORINDLL: module does not load"},
    {VFW_E_CANNOT_CONNECT, "VFW_E_CANNOT_CONNECT: no combination of filters could connect them"},
    {VFW_E_NO_ACCEPTABLE_TYPES, "VFW_E_NO_ACCEPTABLE_TYPES: no common media type"},
    {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED"},
    {VFW_E_ALREADY_CONNECTED, "VFW_E_ALREADY_CONNECTED"},
    {VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED"},
    {VFW_E_INVALID_DIRECTION, "VFW_E_INVALID_DIRECTION"},
    {VFW_E_NOT_IN_GRAPH, "VFW_E_NOT_IN_GRAPH"},
    {VFW_E_CIRCULAR_GRAPH, "VFW_E_CIRCULAR_GRAPH"},
    {VFW_E_DUPLICATE_NAME, "VFW_E_DUPLICATE_NAME"},
    {VFW_E_NO_ALLOCATOR, "VFW_E_NO_ALLOCATOR"},
    {VFW_E_RUNTIME_ERROR, "VFW_E_RUNTIME_ERROR"},
    {VFW_E_NOT_FOUND, "VFW_E_NOT_FOUND"},
    {VFW_E_UNKNOWN_FILE_TYPE, "VFW_E_UNKNOWN_FILE_TYPE"},
    {VFW_E_INVALID_FILE_FORMAT, "VFW_E_INVALID_FILE_FORMAT"},
    {VFW_E_CANNOT_RENDER, "VFW_E_CANNOT_RENDER"},
    // What files answer, in the words a person acts on.
    {E_ACCESSDENIED, "permission denied"},
    {HRESULT_FROM_WIN32(2), "no such file"},
    {HRESULT_FROM_WIN32(3), "no such folder"},
    {HRESULT_FROM_WIN32(32), "the file is in use"},
    {HRESULT_FROM_WIN32(112), "the disk is full"},
    {HRESULT_FROM_WIN32(19), "the disk is read-only"},
};

}  // namespace

std::string HresultText(HRESULT result) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  for (const Named& named : kNames) {
    if (named.code == result) return std::string(named.name) + " (" + code + ")";
  }
  return code;
}

}  // namespace ksv::ksvcam
