// The hand-over's framing: what qv7ctl sends and the panel answers, and what either refuses.
#include "common/handover_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv7::handover {
namespace {

TEST(HandoverRequest, ArgumentsRoundTripAndAnythingElseIsNoRequest) {
    const std::vector<std::string> args = {"set", "micVol=5", "eqGain[6]=30", "", "--json"};
    const auto line = encodeRequest(args);
    ASSERT_TRUE(line);
    EXPECT_EQ(decodeRequest(*line), args);
    EXPECT_EQ(decodeRequest("run\n"), std::vector<std::string>{});

    // What cannot be carried is not sent.
    EXPECT_FALSE(encodeRequest({"set", "a\nb"}));
    EXPECT_FALSE(encodeRequest({std::string("a\0b", 3)}));
    EXPECT_FALSE(encodeRequest({std::string(kMaxRequest, 'x')}));

    for (const std::string& bad :
         {std::string("show\n"), std::string("run"), std::string("runx\n"), std::string("run\0a\nb\n", 8),
          std::string("RUN\0get\n", 8), "run" + std::string(1, '\0') + std::string(kMaxRequest, 'a') + "\n"})
        EXPECT_FALSE(decodeRequest(bad)) << bad;
}

TEST(HandoverReply, ReadInPiecesAndRefusedWhenMalformedOrOversized) {
    const Reply sent{3, "micVol=5\n", "qv7ctl: no answer\n"};
    const std::string text = encodeReply(sent);
    ReplyReader reader;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        ASSERT_EQ(reader.feed(&text[i], 1), ReplyReader::State::More) << i;
    ASSERT_EQ(reader.feed(&text.back(), 1), ReplyReader::State::Done);
    EXPECT_EQ(reader.reply().code, 3);
    EXPECT_EQ(reader.reply().out, sent.out);
    EXPECT_EQ(reader.reply().err, sent.err);

    const std::string bad[] = {
        "exit 0 1 0\nxy",                                                        // more than announced
        "exit 0 999999999 0\n",                                                  // more than any reply may hold
        "exit 256 0 0\n",                                                        // no exit code
        "exit -1 0 0\n",        "exit 0 0\n", "shown\n", std::string(200, 'e'),  // a header that never ends
    };
    for (const auto& b : bad) {
        ReplyReader r;
        EXPECT_EQ(r.feed(b.data(), b.size()), ReplyReader::State::Bad) << b;
    }
}

}  // namespace
}  // namespace qv7::handover
