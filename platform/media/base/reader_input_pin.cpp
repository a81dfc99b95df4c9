// CReaderInputPin: connects to an IAsyncReader.
#include "platform/media/base/reader_input_pin.h"

CReaderInputPin::CReaderInputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock,
                                 HRESULT* result, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, result, pinName, PINDIR_INPUT) {}

CReaderInputPin::~CReaderInputPin() {
  if (m_pReader != nullptr) m_pReader->Release();
}

HRESULT CReaderInputPin::CheckConnect(IPin* pin) {
  HRESULT result = CBasePin::CheckConnect(pin);
  if (FAILED(result)) return result;
  IAsyncReader* reader = nullptr;
  result = pin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void**>(&reader));
  if (FAILED(result) || reader == nullptr) return VFW_E_NO_TRANSPORT;
  if (m_pReader != nullptr) m_pReader->Release();
  m_pReader = reader;
  return S_OK;
}

HRESULT CReaderInputPin::BreakConnect() {
  if (m_pReader != nullptr) {
    m_pReader->Release();
    m_pReader = nullptr;
  }
  return CBasePin::BreakConnect();
}
