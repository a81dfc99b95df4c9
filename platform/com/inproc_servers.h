// Creating objects by class identifier from in-process servers: shared
// objects registered under HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32
// (the default value is the module's path, "ThreadingModel" its model).
// Each module is loaded with dlopen once per process, on first use, and
// unloaded by CoFreeUnusedLibraries once its DllCanUnloadNow agrees. All of
// it is safe to call from many threads at once.
//
// Failures, never a crash: a class without that registration gives
// REGDB_E_CLASSNOTREG, a registry that cannot be read REGDB_E_READREGDB, a
// module path with no file CO_E_DLLNOTFOUND, a file that does not load or
// does not export DllGetClassObject CO_E_ERRORINDLL; what the module's
// DllGetClassObject and class factory answer (CLASS_E_CLASSNOTAVAILABLE,
// CLASS_E_NOAGGREGATION, E_NOINTERFACE) is passed on.
#pragma once

#include "include/win32_types.h"
#include "platform/com/class_factory.h"
#include "platform/com/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER =
    CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

/* The class object of `clsid` (usually asked for IClassFactory). Only
 * in-process servers exist: a context without CLSCTX_INPROC_SERVER finds
 * no class (REGDB_E_CLASSNOTREG). `serverInfo` must be null. Needs COM
 * initialised on the thread (CO_E_NOTINITIALIZED). */
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid,
                         void** object);
/* A new object of `clsid`, asked for `iid`, through its class factory;
 * `outer` is handed to the factory for aggregation. *object is null on
 * every failure; E_POINTER for a null `object`. */
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object);
/* Unloads the loaded servers that no longer need to stay. A server whose
 * DllCanUnloadNow answers S_OK (and that no call of ours is inside) becomes
 * a candidate; a server of the "Apartment" model (or none) is unloaded at
 * once, one of the "Free", "Both" or "Neutral" models by a later call at
 * least `unloadDelay` milliseconds after it became a candidate (INFINITE:
 * the default 10 minutes; 0: at once), since another thread may still be
 * returning from its last Release. Using a candidate makes it an active
 * server again. CoFreeUnusedLibraries is CoFreeUnusedLibrariesEx(INFINITE, 0). */
void CoFreeUnusedLibraries();
void CoFreeUnusedLibrariesEx(DWORD unloadDelay, DWORD reserved);
