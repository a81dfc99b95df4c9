// A shared library that creates the test server's class by identifier, so
// that the tests create it from a library other than the one that loads it.
#pragma once

#include "platform/com/tests/plugin/test_greeter.h"

namespace ksv::com::testing {

// CoCreateInstance of CLSID_TestGreeter for ITestGreeter.
HRESULT CreateGreeter(ITestGreeter** greeter);

}  // namespace ksv::com::testing
