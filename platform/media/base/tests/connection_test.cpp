// Pin connection: types tried and refused on either side, directions,
// states, the transform's output types, and a reconnection asked for while
// a connection is being completed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/media/testing/harness.h"

namespace ksv::media::testing {
namespace {

DWORD ConnectedRate(IPin* pin) {
  AM_MEDIA_TYPE type{};
  if (pin->ConnectionMediaType(&type) != S_OK) return 0;
  WAVEFORMATEX wave{};
  if (type.cbFormat >= sizeof wave) std::memcpy(&wave, type.pbFormat, sizeof wave);
  FreeMediaType(type);
  return wave.nSamplesPerSec;
}

TEST(PinConnection, TypesAreAgreedOrRefusedOnEitherSide) {
  Held<HarnessSource> source;
  Held<HarnessSink> sink;
  IPin* output = source->GetPin(0);
  IPin* input = sink->GetPin(0);

  // The sink refuses the source's only type: nothing is left connected.
  sink->acceptedRate = 44100;
  EXPECT_EQ(output->Connect(input, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
  IPin* partner = nullptr;
  EXPECT_EQ(output->ConnectedTo(&partner), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(partner, nullptr);
  EXPECT_EQ(input->ConnectedTo(&partner), VFW_E_NOT_CONNECTED);

  // A given type the source does not make is refused by the source.
  sink->acceptedRate = 0;
  CMediaType other = AudioType(8000);
  EXPECT_TRUE(FAILED(output->Connect(input, &other)));
  EXPECT_EQ(output->ConnectedTo(&partner), VFW_E_NOT_CONNECTED);
  // A given type the sink refuses fails with the sink's answer.
  sink->acceptedRate = 11025;
  CMediaType made = AudioType(22050);
  EXPECT_EQ(output->Connect(input, &made), VFW_E_TYPE_NOT_ACCEPTED);

  // A partial type (major type only) is completed from the enumerated types.
  sink->acceptedRate = 22050;
  CMediaType partial(&MEDIATYPE_Audio);
  ASSERT_EQ(output->Connect(input, &partial), S_OK);
  EXPECT_EQ(ConnectedRate(output), 22050u);
  EXPECT_EQ(ConnectedRate(input), 22050u);
  ASSERT_EQ(input->ConnectedTo(&partner), S_OK);
  EXPECT_EQ(partner, output);
  partner->Release();
  EXPECT_EQ(output->Connect(input, nullptr), VFW_E_ALREADY_CONNECTED);
  EXPECT_EQ(output->QueryAccept(&made), S_OK);
  EXPECT_EQ(output->QueryAccept(&other), S_FALSE);

  EXPECT_EQ(output->Disconnect(), S_OK);
  EXPECT_EQ(input->Disconnect(), S_OK);
  EXPECT_EQ(input->Disconnect(), S_FALSE);
}

TEST(PinConnection, DirectionsAndStatesAreChecked) {
  Held<HarnessSource> source;
  Held<HarnessSource> otherSource;
  Held<HarnessSink> sink;
  IPin* output = source->GetPin(0);
  IPin* input = sink->GetPin(0);

  EXPECT_EQ(output->Connect(otherSource->GetPin(0), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(input->Connect(output, nullptr), VFW_E_INVALID_DIRECTION);
  CMediaType type = AudioType(22050);
  EXPECT_EQ(otherSource->GetPin(0)->ReceiveConnection(output, &type), VFW_E_INVALID_DIRECTION);

  ASSERT_EQ(sink->Pause(), S_OK);
  EXPECT_EQ(output->Connect(input, nullptr), VFW_E_NOT_STOPPED);
  ASSERT_EQ(sink->Stop(), S_OK);
  ASSERT_EQ(output->Connect(input, nullptr), S_OK);
  ASSERT_EQ(sink->Pause(), S_OK);
  EXPECT_EQ(input->Disconnect(), VFW_E_NOT_STOPPED);
  ASSERT_EQ(sink->Stop(), S_OK);
  EXPECT_EQ(input->Disconnect(), S_OK);
  EXPECT_EQ(output->Disconnect(), S_OK);
}

TEST(PinConnection, PinsDescribeThemselves) {
  Held<HarnessSink> sink;
  IPin* input = sink->GetPin(0);
  LPWSTR id = nullptr;
  ASSERT_EQ(input->QueryId(&id), S_OK);
  EXPECT_EQ(std::u16string(id), u"In");
  CoTaskMemFree(id);

  IPin* found = nullptr;
  ASSERT_EQ(sink->FindPin(u"In", &found), S_OK);
  EXPECT_EQ(found, input);
  found->Release();
  EXPECT_EQ(sink->FindPin(u"Out", &found), VFW_E_NOT_FOUND);

  PIN_INFO info{};
  ASSERT_EQ(input->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(info.dir, PINDIR_INPUT);
  EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(sink.filter));
  info.pFilter->Release();

  IEnumPins* pins = nullptr;
  ASSERT_EQ(sink->EnumPins(&pins), S_OK);
  IPin* fetched[2] = {};
  ULONG count = 0;
  EXPECT_EQ(pins->Next(2, fetched, &count), S_FALSE);
  EXPECT_EQ(count, 1u);
  fetched[0]->Release();
  pins->Release();

  // A pin answers for its filter: IBaseFilter is not one of its interfaces.
  IBaseFilter* notPin = nullptr;
  EXPECT_EQ(input->QueryInterface(IID_PPV_ARGS(&notPin)), E_NOINTERFACE);
  IMemInputPin* memory = nullptr;
  ASSERT_EQ(input->QueryInterface(IID_PPV_ARGS(&memory)), S_OK);
  memory->Release();
}

TEST(PinConnection, TransformOutputKnowsItsTypesOnlyOnceTheInputIsConnected) {
  Held<HarnessSource> source;
  Held<HarnessTransform> transform;
  Held<HarnessSink> sink;

  IEnumMediaTypes* types = nullptr;
  EXPECT_EQ(transform->Output()->EnumMediaTypes(&types), VFW_E_NOT_CONNECTED);
  EXPECT_TRUE(FAILED(transform->Output()->Connect(sink->GetPin(0), nullptr)));

  ASSERT_EQ(source->GetPin(0)->Connect(transform->Input(), nullptr), S_OK);
  ASSERT_EQ(transform->Output()->EnumMediaTypes(&types), S_OK);
  AM_MEDIA_TYPE* first = nullptr;
  ULONG count = 0;
  ASSERT_EQ(types->Next(1, &first, &count), S_OK);
  WAVEFORMATEX wave{};
  std::memcpy(&wave, first->pbFormat, sizeof wave);
  EXPECT_EQ(wave.nSamplesPerSec, 22050u);
  DeleteMediaType(first);
  EXPECT_EQ(types->Next(1, &first, &count), S_FALSE);
  EXPECT_EQ(count, 0u);
  types->Release();

  ASSERT_EQ(transform->Output()->Connect(sink->GetPin(0), nullptr), S_OK);
  EXPECT_EQ(ConnectedRate(sink->GetPin(0)), 22050u);
}

TEST(PinConnection, ReconnectionAskedWhileCompletingAConnection) {
  Held<HarnessSource> slow;
  Held<HarnessSource> fast;
  fast->rate = 44100;
  Held<HarnessTransform> transform;
  Held<HarnessSink> sink;
  auto graph = ksv::com::ComPtr<FakeGraph>::Adopt(new FakeGraph);
  ASSERT_EQ(graph->AddFilter(transform.filter, u"copy"), S_OK);
  transform->reconnectOutput = true;

  ASSERT_EQ(slow->GetPin(0)->Connect(transform->Input(), nullptr), S_OK);
  ASSERT_EQ(transform->Output()->Connect(sink->GetPin(0), nullptr), S_OK);
  EXPECT_EQ(ConnectedRate(sink->GetPin(0)), 22050u);
  EXPECT_EQ(graph->reconnects(), 0);

  // A new upstream at another rate: the transform has its output
  // renegotiated from inside the input's connection.
  ASSERT_EQ(slow->GetPin(0)->Disconnect(), S_OK);
  ASSERT_EQ(transform->Input()->Disconnect(), S_OK);
  ASSERT_EQ(fast->GetPin(0)->Connect(transform->Input(), nullptr), S_OK);
  EXPECT_EQ(graph->reconnects(), 1);
  EXPECT_EQ(graph->lastReconnectResult(), S_OK);
  EXPECT_EQ(ConnectedRate(transform->Output()), 44100u);
  EXPECT_EQ(ConnectedRate(sink->GetPin(0)), 44100u);
  EXPECT_EQ(transform->completedOutputs, 2);

  FILTER_INFO info{};
  ASSERT_EQ(transform->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), u"copy");
  EXPECT_EQ(info.pGraph, static_cast<IFilterGraph*>(graph.Get()));
  info.pGraph->Release();
  graph->RemoveFilter(transform.filter);
}

}  // namespace
}  // namespace ksv::media::testing
