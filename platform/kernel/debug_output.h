// OutputDebugStringA: text for an attached debugger. With no debugger here,
// the text goes to standard error, and only when the environment variable
// KSV_DEBUG is set (to anything but an empty string), so that ordinary runs
// stay quiet as they do on the platform.
#pragma once

extern "C" {

// Writes `text` as given (no newline added); a null text writes nothing.
void OutputDebugStringA(const char* text);

}
