// The one-line graph descriptions of `ksvcam graph`:
//
//   description := chain ((" ; " | newline) chain)*
//   chain       := element (" ! " element)*
//   element     := NAME option* | "{" CLSID "}" option* | ID "."
//   option      := "file=" PATH | "name=" ID
//
// NAME is a filter's friendly name: every word up to the first key=value
// word, so it may hold spaces and parentheses ("File Source (Async.)").
// "A ! B" connects A's unconnected output pins to B: those B can take, at
// least one. "ID." stands for the filter an earlier element named with
// name=ID: in the middle of a description it starts a branch from that
// filter (the link before it is not made), at the end it joins the chain
// into that filter. A chain ends at " ; " or at the end of a line; the
// next one starts unlinked, so two chains fit on one line.
//
//   File Source (Async.) file=in.avi ! AVI Splitter ! AVI Mux ! File writer file=out.avi
//   KSV Test Source name=src ! KSV Test Sink ! src. ! KSV Test Sink
//   RMC900 USB Camera ! AVI Mux name=m ! File writer file=x.avi ; KSV Simulated Microphone ! m.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/guid.h"

namespace ksv::ksvcam {

struct GraphElement {
  std::string friendlyName;    // empty when given by class identifier
  std::optional<CLSID> clsid;  // "{...}"
  std::string file;            // file=
  std::string id;              // name=
  size_t column = 0;           // where it starts, from 1

  // How messages name it: its friendly name, else its class identifier.
  std::string Label() const;
};

// `from`'s unconnected outputs go to `to` (indexes into filters).
struct GraphLink {
  size_t from = 0;
  size_t to = 0;
};

struct GraphDescription {
  std::vector<GraphElement> filters;  // one per filter, references resolved
  std::vector<GraphLink> links;       // in the order written
};

// Throws UsageError naming the column of what is wrong.
GraphDescription ParseGraphDescription(std::string_view text);

}  // namespace ksv::ksvcam
