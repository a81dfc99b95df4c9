#include "platform/media/filters/common/parser_filter.h"

namespace ksv::media::filters {

class CParserFilter::InputPin final : public CReaderInputPin {
 public:
  InputPin(CParserFilter* filter, HRESULT* result, LPCWSTR name)
      : CReaderInputPin("parser input", filter, filter->pStateLock(), result, name),
        parser_(filter) {}

  HRESULT CheckMediaType(const CMediaType* type) override {
    return parser_->CheckInputType(type);
  }

  HRESULT CompleteConnect(IPin* receivePin) override {
    HRESULT result = CReaderInputPin::CompleteConnect(receivePin);
    if (FAILED(result)) return result;
    if (m_pReader == nullptr) return E_UNEXPECTED;
    result = parser_->CreateOutputPins(m_pReader);
    if (FAILED(result)) parser_->RemoveOutputPins();
    return result;
  }

  HRESULT BreakConnect() override {
    parser_->RemoveOutputPins();
    return CReaderInputPin::BreakConnect();
  }

 private:
  CParserFilter* parser_;
};

CParserFilter::CParserFilter(const TCHAR* name, REFCLSID clsid, LPCWSTR inputName)
    : CSource(name, nullptr, clsid) {
  HRESULT result = S_OK;
  input_ = new InputPin(this, &result, inputName);
}

CParserFilter::~CParserFilter() {
  // The output pins still in the filter go with CSource; the removed ones
  // take themselves out of a list they are no longer in.
  for (CSourceStream* pin : retired_) delete pin;
  delete input_;
}

int CParserFilter::GetPinCount() { return 1 + CSource::GetPinCount(); }

CBasePin* CParserFilter::GetPin(int index) {
  if (index == 0) return input_;
  return CSource::GetPin(index - 1);
}

IAsyncReader* CParserFilter::Reader() const { return input_->Reader(); }

void CParserFilter::RemoveOutputPins() {
  CAutoLock lock(pStateLock());
  if (m_paStreams.empty()) return;
  const std::vector<CSourceStream*> pins = m_paStreams;
  for (CSourceStream* pin : pins) {
    IPin* peer = pin->GetConnected();
    if (peer != nullptr) {
      peer->Disconnect();
      pin->Disconnect();
    }
    RemovePin(pin);  // bumps the pin version
    retired_.push_back(pin);
  }
}

}  // namespace ksv::media::filters
