// A shared library that creates the test server's class by identifier, so
// that the tests create it from a library other than the one that loads it.
#pragma once

#include "platform/com/tests/plugin/test_greeter.h"

namespace ksv::com::testing {

// CoCreateInstance of CLSID_TestGreeter for ITestGreeter.
HRESULT CreateGreeter(ITestGreeter** greeter);

// What the test server runs inside its DllCanUnloadNow, as a server that uses
// COM there would (null: nothing).
void SetCanUnloadHook(void (*hook)());
void RunCanUnloadHook();

}  // namespace ksv::com::testing
