// The test filter plug-in's entry points: its classes and their
// registration records (legacy filter category, pins and types in the
// filter data). The source and sink have low merits so that connecting
// never inserts them between two pins; the sink is still found when a pin
// is rendered.
#include "platform/media/base/plugin_entry_points.h"
#include "platform/media/testing/test_filter_ids.h"
#include "platform/media/testing/test_filters.h"

namespace {

using namespace ksv::media::testing;

template <const CLSID* Clsid, const GUID* Output>
CUnknown* NewConverter(LPUNKNOWN outer, HRESULT* result) {
  *result = outer != nullptr ? CLASS_E_NOAGGREGATION : S_OK;
  return outer != nullptr ? nullptr : new TestConverter(*Clsid, *Output);
}

const AMOVIESETUP_MEDIATYPE kTypeA = {&MEDIATYPE_Video, &kTestSubtypeA};
const AMOVIESETUP_MEDIATYPE kTypeB = {&MEDIATYPE_Video, &kTestSubtypeB};
const AMOVIESETUP_MEDIATYPE kTypeC = {&MEDIATYPE_Video, &kTestSubtypeC};

// {name, rendered, output, zero, many, connects-to filter, pin, types}
const AMOVIESETUP_PIN kSourcePins[] = {
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kTypeA},
};
const AMOVIESETUP_PIN kConverterPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kTypeA},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kTypeB},
};
const AMOVIESETUP_PIN kDeadEndPins[] = {
    {nullptr, FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kTypeA},
    {nullptr, FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kTypeC},
};
const AMOVIESETUP_PIN kSinkPins[] = {
    {nullptr, TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kTypeB},
};

const AMOVIESETUP_FILTER kSource = {&kTestSourceClsid, kTestSourceName, MERIT_DO_NOT_USE, 1,
                                    kSourcePins};
const AMOVIESETUP_FILTER kConverter = {&kTestConverterClsid, kTestConverterName, MERIT_NORMAL, 2,
                                       kConverterPins};
const AMOVIESETUP_FILTER kBackupConverter = {&kTestBackupConverterClsid, kTestBackupConverterName,
                                             MERIT_UNLIKELY, 2, kConverterPins};
// Makes a type nothing takes: a filter that connects and then leads nowhere.
const AMOVIESETUP_FILTER kDeadEnd = {&kTestDeadEndClsid, kTestDeadEndName, MERIT_UNLIKELY - 1, 2,
                                     kDeadEndPins};
const AMOVIESETUP_FILTER kSink = {&kTestSinkClsid, kTestSinkName, MERIT_UNLIKELY, 1, kSinkPins};

const CFactoryTemplate kTemplates[] = {
    {kTestSourceName, &kTestSourceClsid, TestSource::CreateInstance, nullptr, &kSource},
    {kTestConverterName, &kTestConverterClsid,
     NewConverter<&kTestConverterClsid, &kTestSubtypeB>, nullptr, &kConverter},
    {kTestBackupConverterName, &kTestBackupConverterClsid,
     NewConverter<&kTestBackupConverterClsid, &kTestSubtypeB>, nullptr, &kBackupConverter},
    {kTestDeadEndName, &kTestDeadEndClsid, NewConverter<&kTestDeadEndClsid, &kTestSubtypeC>,
     nullptr, &kDeadEnd},
    {kTestSinkName, &kTestSinkClsid, TestSink::CreateInstance, nullptr, &kSink},
};

}  // namespace

KSV_FILTER_PLUGIN_ENTRY_POINTS(kTemplates)
