#include "apps/ksvcam/graph_names.h"

#include <algorithm>

#include "apps/ksvcam/console.h"
#include "include/oksv1gra.h"

namespace ksv::ksvcam {
namespace {

struct ListCalls {
  int32_t (*total)();
  int32_t (*name)(int32_t, char*);
  const char* item;
};

ListCalls CallsOf(NameList list) {
  switch (list) {
    case NameList::VideoDevices:
      return {QMG_GetTotalVideoDevice, QMG_GetVideoDeviceName, "video capture device"};
    case NameList::AudioDevices:
      return {QMG_GetTotalAudioDevice, QMG_GetAudioDeviceName, "audio capture device"};
    case NameList::VideoCompressors:
      return {QMG_GetTotalVideoCompressor, QMG_GetVideoCompressorName, "video compressor"};
    case NameList::AudioCompressors:
      return {QMG_GetTotalAudioCompressor, QMG_GetAudioCompressorName, "audio compressor"};
  }
  return {QMG_GetTotalVideoDevice, QMG_GetVideoDeviceName, "video capture device"};
}

}  // namespace

std::vector<std::string> ListNames(NameList list) {
  const ListCalls calls = CallsOf(list);
  std::vector<std::string> names;
  const int32_t total = calls.total();
  for (int32_t index = 0; index < total; ++index) {
    char name[128] = {};
    if (calls.name(index, name) != 0) names.emplace_back(name);
  }
  return names;
}

const char* NameListItem(NameList list) { return CallsOf(list).item; }

std::string ChooseName(NameList list, const std::string& wanted, const char* option) {
  const std::vector<std::string> names = ListNames(list);
  if (wanted.empty()) return names.empty() ? std::string() : names.front();
  if (std::find(names.begin(), names.end(), wanted) != names.end()) return wanted;
  std::string choices;
  for (const std::string& name : names) choices += (choices.empty() ? "" : ", ") + Quoted(name);
  throw UsageError(std::string(option) + " " + Quoted(wanted) + " is not an installed " +
                   NameListItem(list) +
                   (choices.empty() ? " (there is none)" : " (choose " + choices + ")"));
}

}  // namespace ksv::ksvcam
