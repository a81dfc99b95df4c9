// The one-line graph grammar: names with spaces and parentheses, class
// identifiers, options, branches and joins, and bad input named by column.
#include "apps/ksvcam/graph_description.h"

#include <gtest/gtest.h>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

std::string ErrorOf(std::string_view text) {
  try {
    ParseGraphDescription(text);
  } catch (const UsageError& error) {
    return error.what();
  }
  return "(parsed)";
}

TEST(GraphDescription, NamesRunToTheFirstOptionAndKeepTheirSpelling) {
  const auto graph = ParseGraphDescription(
      "File Source (Async.) file=in.avi ! AVI Splitter ! AVI Mux ! File writer  file=out.avi");
  ASSERT_EQ(graph.filters.size(), 4u);
  EXPECT_EQ(graph.filters[0].friendlyName, "File Source (Async.)");
  EXPECT_EQ(graph.filters[0].file, "in.avi");
  EXPECT_EQ(graph.filters[1].friendlyName, "AVI Splitter");
  EXPECT_TRUE(graph.filters[1].file.empty());
  EXPECT_EQ(graph.filters[3].friendlyName, "File writer");
  EXPECT_EQ(graph.filters[3].file, "out.avi");
  EXPECT_EQ(graph.filters[2].column, 51u);
  ASSERT_EQ(graph.links.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(graph.links[i].from, i);
    EXPECT_EQ(graph.links[i].to, i + 1);
  }
}

TEST(GraphDescription, ClassIdentifiersAndNames) {
  const auto graph =
      ParseGraphDescription("{7E57F117-0001-4B53-9D10-6B5376544631} name=src file=12 ! Sink");
  ASSERT_EQ(graph.filters.size(), 2u);
  ASSERT_TRUE(graph.filters[0].clsid.has_value());
  EXPECT_EQ(com::FormatGuid(*graph.filters[0].clsid), "{7E57F117-0001-4B53-9D10-6B5376544631}");
  EXPECT_TRUE(graph.filters[0].friendlyName.empty());
  EXPECT_EQ(graph.filters[0].Label(), "{7E57F117-0001-4B53-9D10-6B5376544631}");
  EXPECT_EQ(graph.filters[0].id, "src");
  EXPECT_EQ(graph.filters[0].file, "12");
}

TEST(GraphDescription, ReferenceStartsABranchInTheMiddleAndJoinsAtTheEnd) {
  // Source -> Tee -> SinkA, and Tee -> SinkB: the link into "t." is not made.
  const auto branch = ParseGraphDescription("Source ! Tee name=t ! Sink A ! t. ! Sink B");
  ASSERT_EQ(branch.filters.size(), 4u);
  ASSERT_EQ(branch.links.size(), 3u);
  EXPECT_EQ(branch.links[2].from, 1u);
  EXPECT_EQ(branch.links[2].to, 3u);

  // Two sources into one multiplexer.
  const auto join = ParseGraphDescription("Video ! Mux name=m ! Writer ! Audio ! m.");
  ASSERT_EQ(join.filters.size(), 4u);
  ASSERT_EQ(join.links.size(), 4u);
  EXPECT_EQ(join.links[3].from, 3u);
  EXPECT_EQ(join.links[3].to, 1u);
}

TEST(GraphDescription, ASemicolonOrANewLineEndsAChain) {
  // The camera into the mux and the writer; the microphone, a chain of its
  // own, joins the mux. Before, the second source was linked after the
  // writer.
  for (const char* text : {"Video ! Mux name=m ! Writer ; Audio ! m.",
                           "Video ! Mux name=m ! Writer\n  Audio ! m.",
                           "Video ! Mux name=m !\n Writer ; ; Audio ! m. ;"}) {
    const auto graph = ParseGraphDescription(text);
    ASSERT_EQ(graph.filters.size(), 4u) << text;
    ASSERT_EQ(graph.links.size(), 3u) << text;
    EXPECT_EQ(graph.links[1].from, 1u) << text;
    EXPECT_EQ(graph.links[1].to, 2u) << text;
    EXPECT_EQ(graph.links[2].from, 3u) << text;
    EXPECT_EQ(graph.links[2].to, 1u) << text;
  }
  // A chain may start from a named filter: a branch.
  const auto branch = ParseGraphDescription("Source ! Tee name=t ! Sink A ; t. ! Sink B");
  ASSERT_EQ(branch.links.size(), 3u);
  EXPECT_EQ(branch.links[2].from, 1u);
  EXPECT_EQ(branch.links[2].to, 3u);
  EXPECT_EQ(ErrorOf(" ; "), "graph description: empty");
  EXPECT_EQ(ErrorOf("A ! ; B"), "graph description: missing element at column 5");
}

TEST(GraphDescription, BadInputIsAUsageErrorNamingTheColumn) {
  EXPECT_EQ(ErrorOf("   "), "graph description: empty");
  EXPECT_EQ(ErrorOf("A ! ! B"), "graph description: missing element at column 5");
  EXPECT_EQ(ErrorOf("A ! "), "graph description: missing element at column 5");
  EXPECT_EQ(ErrorOf("! A"), "graph description: missing element at column 1");
  EXPECT_EQ(ErrorOf("A ! file=x"),
            "graph description: missing filter name before 'file=x' at column 5");
  EXPECT_EQ(ErrorOf("A file=my file.avi"),
            "graph description: unexpected 'file.avi' after the options (a filter's name comes "
            "first) at column 11");
  EXPECT_EQ(ErrorOf("A size=3"),
            "graph description: unknown option 'size' (choose file= or name=) at column 3");
  EXPECT_EQ(ErrorOf("A file="), "graph description: file= needs a value at column 3");
  EXPECT_EQ(ErrorOf("{1234} ! B"), "graph description: '{1234}' is not a class identifier at column 1");
  EXPECT_EQ(ErrorOf("A ! x. ! B"), "graph description: no filter named 'x' before at column 5");
  EXPECT_EQ(ErrorOf("A name=a ! B name=a"),
            "graph description: a second filter named 'a' at column 14");
}

}  // namespace
}  // namespace ksv::ksvcam
