#include "apps/ksvcam/graph_report.h"

#include <cctype>
#include <vector>

#include "apps/ksvcam/graph_builder.h"
#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/media/pin_search.h"

namespace ksv::ksvcam {
namespace {

struct NamedGuid {
  const GUID* guid;
  const char* name;
};

const NamedGuid kMajorTypes[] = {
    {&MEDIATYPE_Video, "Video"},   {&MEDIATYPE_Audio, "Audio"},
    {&MEDIATYPE_Text, "Text"},     {&MEDIATYPE_Midi, "Midi"},
    {&MEDIATYPE_Stream, "Stream"}, {&MEDIATYPE_Interleaved, "Interleaved"},
};

const NamedGuid kSubtypes[] = {
    {&MEDIASUBTYPE_RGB8, "RGB8"},         {&MEDIASUBTYPE_RGB565, "RGB565"},
    {&MEDIASUBTYPE_RGB555, "RGB555"},     {&MEDIASUBTYPE_RGB24, "RGB24"},
    {&MEDIASUBTYPE_RGB32, "RGB32"},       {&MEDIASUBTYPE_PCM, "PCM"},
    {&MEDIASUBTYPE_Avi, "Avi"},           {&MEDIASUBTYPE_WAVE, "WAVE"},
    {&MEDIASUBTYPE_MPEG1Video, "MPEG1Video"}, {&MEDIASUBTYPE_MPEG1Audio, "MPEG1Audio"},
    {&MEDIASUBTYPE_MPEG1System, "MPEG1System"}, {&MEDIASUBTYPE_None, "None"},
};

// Subtypes built from a FOURCC share this tail.
constexpr GUID kFourccBase = ksv::com::Guid("00000000-0000-0010-8000-00AA00389B71");

std::string GuidName(const GUID& guid, const NamedGuid* table, size_t count, bool fourcc) {
  for (size_t i = 0; i < count; ++i) {
    if (*table[i].guid == guid) return table[i].name;
  }
  GUID tail = guid;
  tail.Data1 = 0;
  if (fourcc && tail == kFourccBase) {
    std::string code;
    for (int shift = 0; shift < 32; shift += 8) {
      code += static_cast<char>((guid.Data1 >> shift) & 0xFF);
    }
    bool printable = true;
    for (const char c : code) printable = printable && std::isprint(static_cast<unsigned char>(c));
    if (printable) return code;
  }
  return com::FormatGuid(guid);
}

void PrintConnections(IBaseFilter* filter, std::ostream& out) {
  for (const com::ComPtr<IPin>& pin : media::PinsOf(filter, PINDIR_OUTPUT)) {
    const com::ComPtr<IPin> peer = media::PeerOf(pin.Get());
    if (!peer) continue;
    AM_MEDIA_TYPE type{};
    const bool typed = SUCCEEDED(pin->ConnectionMediaType(&type));
    out << "  " << PinLabel(pin.Get()) << " -> " << PinLabel(peer.Get()) << "  "
        << (typed ? MediaTypeText(type) : std::string("(no media type)")) << "\n";
    if (typed) FreeMediaType(type);
  }
}

}  // namespace

std::string MediaTypeText(const AM_MEDIA_TYPE& type) {
  return GuidName(type.majortype, kMajorTypes, std::size(kMajorTypes), false) + "/" +
         GuidName(type.subtype, kSubtypes, std::size(kSubtypes), true);
}

size_t FilterCount(IFilterGraph* graph) { return Filters(graph).size(); }

void PrintGraph(IFilterGraph* graph, std::ostream& out) {
  const auto filters = Filters(graph);
  out << "filters:\n";
  for (const auto& filter : filters) {
    CLSID clsid{};
    const bool known = SUCCEEDED(filter->GetClassID(&clsid));
    out << "  " << FilterName(filter.Get()) << "  " << (known ? com::FormatGuid(clsid) : "{?}")
        << "\n";
  }
  out << "connections:\n";
  for (const auto& filter : filters) PrintConnections(filter.Get(), out);
}

std::string FilterName(IBaseFilter* filter) {
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return "?";
  if (info.pGraph != nullptr) info.pGraph->Release();
  return com::Utf16ToUtf8(com::WideView(info.achName));
}

std::vector<com::ComPtr<IBaseFilter>> Filters(IFilterGraph* graph) {
  std::vector<com::ComPtr<IBaseFilter>> filters;
  com::ComPtr<IEnumFilters> enumerator;
  if (FAILED(graph->EnumFilters(enumerator.GetAddressOf())) || !enumerator) return filters;
  IBaseFilter* next = nullptr;
  while (enumerator->Next(1, &next, nullptr) == S_OK) {
    com::ComPtr<IBaseFilter> filter;
    filter.Attach(next);
    filters.push_back(filter);
  }
  return filters;
}

}  // namespace ksv::ksvcam
