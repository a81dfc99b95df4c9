// Class factories from templates, and the module's unload answer.
#include <gtest/gtest.h>

#include "platform/media/testing/harness.h"

namespace ksv::media::testing {
namespace {

CUnknown* NewSink(LPUNKNOWN /*outer*/, HRESULT* result) {
  *result = S_OK;
  return new HarnessSink;
}

const CFactoryTemplate kTemplates[] = {{u"Test Sink", &kSinkClsid, NewSink}};

TEST(FactoryTemplates, MakeTheirClassesAndCountThem) {
  ASSERT_EQ(CanUnloadNow(), S_OK);
  IClassFactory* factory = nullptr;
  EXPECT_EQ(GetClassObjectFromTemplates(kTemplates, 1, kSourceClsid, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(GetClassObjectFromTemplates(kTemplates, 1, kSinkClsid, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // the factory is an object of the module

  IBaseFilter* filter = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&filter)), S_OK);
  CLSID clsid{};
  EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, kSinkClsid);
  IUnknown* outer = filter;
  IBaseFilter* aggregated = nullptr;
  EXPECT_EQ(factory->CreateInstance(outer, IID_PPV_ARGS(&aggregated)), E_NOINTERFACE);

  // Every interface of the object gives the same IUnknown.
  IUnknown* fromFilter = nullptr;
  IUnknown* fromPersist = nullptr;
  IPersist* persist = nullptr;
  ASSERT_EQ(filter->QueryInterface(IID_PPV_ARGS(&persist)), S_OK);
  filter->QueryInterface(IID_PPV_ARGS(&fromFilter));
  persist->QueryInterface(IID_PPV_ARGS(&fromPersist));
  EXPECT_EQ(fromFilter, fromPersist);
  fromFilter->Release();
  fromPersist->Release();
  persist->Release();

  factory->LockServer(TRUE);
  factory->Release();
  filter->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // locked
  // No factory is left to unlock with: the lock is the module's.
  CBaseObject::LockModule(false);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST(MediaTypes, BitmapSubtypesAndPartialMatches) {
  BITMAPINFOHEADER header{};
  header.biBitCount = 24;
  EXPECT_EQ(GetBitmapSubtype(&header), MEDIASUBTYPE_RGB24);
  header.biCompression = 0x47504A4Du;  // MJPG
  EXPECT_EQ(GetBitmapSubtype(&header), MEDIASUBTYPE_MJPG);

  const CMediaType full = AudioType(8000);
  CMediaType partial(&MEDIATYPE_Audio);
  EXPECT_TRUE(partial.IsPartiallySpecified());
  EXPECT_FALSE(full.IsPartiallySpecified());
  EXPECT_TRUE(full.MatchesPartial(&partial));
  partial.SetSubtype(&MEDIASUBTYPE_IEEE_FLOAT);
  EXPECT_FALSE(full.MatchesPartial(&partial));
  EXPECT_FALSE(full == AudioType(8001));
  CMediaType copy = full;
  EXPECT_TRUE(copy == full);
  EXPECT_NE(copy.Format(), full.Format());
}

}  // namespace
}  // namespace ksv::media::testing
