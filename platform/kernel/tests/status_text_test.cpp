#include "platform/kernel/status_text.h"

#include <gtest/gtest.h>

namespace ksv::platform::kernel {
namespace {

TEST(StatusText, NamesKnownStatusesAndGivesTheCodeOfOthers) {
  EXPECT_EQ(StatusText(STATUS_INVALID_PARAMETER), "0xC000000D (STATUS_INVALID_PARAMETER)");
  EXPECT_EQ(StatusText(STATUS_NO_MATCH).find("(STATUS_NO_MATCH)"), 11u);
  EXPECT_EQ(StatusText(0x12345678), "0x12345678");
}

}  // namespace
}  // namespace ksv::platform::kernel
