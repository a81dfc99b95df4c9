// HRESULTs as messages name them: "VFW_E_CANNOT_CONNECT (0x80040217)", a
// file's failure in words ("permission denied (0x80070005)"), the
// hexadecimal code alone for one this table does not know.
#pragma once

#include <string>

#include "platform/com/hresult.h"

namespace ksv::ksvcam {

std::string HresultText(HRESULT result);

}  // namespace ksv::ksvcam
