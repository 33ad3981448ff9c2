// The one default of every trace: standard output, one line per call.
#include "common/line_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv7 {
namespace {

TEST(LineWriter, EmptyWriterGoesToStandardOutputOneLinePerCall) {
    struct Case {
        std::string line, printed;
    };
    const std::vector<Case> cases = {
        {"mfiSetPara(0)\n", "mfiSetPara(0)\n"},  // trace lines carry their own break
        {"dwError = 12", "dwError = 12\n"},      // the HTTP client's lines do not
        {"", "\n"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        orStdout({})(c.line);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.line;
    }
}

TEST(LineWriter, GivenWriterIsUsedAsItIs) {
    std::vector<std::string> lines;
    testing::internal::CaptureStdout();
    orStdout([&](std::string_view l) { lines.emplace_back(l); })("dwError = 12");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(lines, std::vector<std::string>{"dwError = 12"});
}

}  // namespace
}  // namespace qv7
