#include "graph/tests/test_page.h"
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/base/property_page.h"

namespace {

using ksv::platform::ui::DialogTemplateBuilder;

ksv::platform::ui::DialogTemplate PageTemplate() {
  DialogTemplateBuilder builder(WS_CHILD | DS_CONTROL, 0, 0, 120, 40, "");
  builder.CheckBox("On", 200, 4, 4, 60, 10, WS_TABSTOP);
  return builder.Build();
}

class TestPage final : public CBasePropertyPage {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
    return outer != nullptr ? nullptr : new TestPage();
  }
  TestPage() : CBasePropertyPage("test page", nullptr, PageTemplate(), kTestPageTitle) {}

 protected:
  HRESULT OnConnect(IUnknown* object) override {
    const HRESULT result = object->QueryInterface(ITestSetting::kIid, reinterpret_cast<void**>(setting_.ReleaseAndGetAddressOf()));
    if (SUCCEEDED(result)) SetDirty();
    return result;
  }
  HRESULT OnDisconnect() override {
    setting_ = nullptr;
    return S_OK;
  }
  HRESULT OnApplyChanges() override { return setting_ ? setting_->Set(1) : E_UNEXPECTED; }

 private:
  ksv::com::ComPtr<ITestSetting> setting_;
};

const CFactoryTemplate kTemplates[] = {
    {u"QMG test page", &kTestPageClsid, TestPage::CreateInstance},
};

}  // namespace

KSV_CLASS_PLUGIN_ENTRY_POINTS(kTemplates)
