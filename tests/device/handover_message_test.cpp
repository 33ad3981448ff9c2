// The hand-over's framing: what qv7ctl sends and the panel answers, and what either refuses.
#include "common/handover_message.h"

#include <gtest/gtest.h>

#include <optional>
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

TEST(HandoverRequest, AnAttachmentFollowsTheLineWithinItsBound) {
    // A NUL inside: the attachment is bytes, not a C string. Sized from the literal, whose last byte is its end.
    static constexpr char kDocument[] = "{\"format\":\"qv7-presets\"}\n\0";
    const std::string document(kDocument, sizeof kDocument - 1);
    const auto request = encodeRequest({"preset", "import", "-"}, document);
    ASSERT_TRUE(request);
    const std::size_t end = request->find('\n');
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(request->substr(end + 1), document);
    auto args = decodeRequest(request->substr(0, end + 1));
    ASSERT_TRUE(args);
    const Attachment a = takeAttachment(*args);
    EXPECT_TRUE(a.valid);
    EXPECT_EQ(a.length, document.size());
    EXPECT_EQ(*args, (std::vector<std::string>{"preset", "import", "-"}));

    // An empty document is still attached; one past the bound is not sent.
    const auto emptyRequest = encodeRequest({"preset", "import", "-"}, "");
    ASSERT_TRUE(emptyRequest);
    std::vector<std::string> empty = *decodeRequest(*emptyRequest);
    EXPECT_EQ(takeAttachment(empty).length, 0u);
    EXPECT_FALSE(encodeRequest({"preset", "import", "-"}, std::string(kMaxAttachment + 1, ' ')));
    EXPECT_TRUE(encodeRequest({"preset", "import", "-"}, std::string(kMaxAttachment, ' ')));

    struct Case {
        std::vector<std::string> args;
        bool valid;
        std::optional<std::size_t> length;
    };
    const Case cases[] = {
        {{"preset", "list"}, true, std::nullopt},
        {{"preset", "import", "--attached"}, true, std::nullopt},  // a word, not an announcement
        {{"preset", "import", "--attached", "1048576"}, true, kMaxAttachment},
        {{"preset", "import", "--attached", "1048577"}, false, std::nullopt},
        {{"preset", "import", "--attached", "-5"}, false, std::nullopt},
        {{"preset", "import", "--attached", ""}, false, std::nullopt},
        {{"preset", "import", "--attached", "12x"}, false, std::nullopt},
        {{"preset", "import", "--attached", std::string(30, '9')}, false, std::nullopt},
    };
    for (Case c : cases) {
        const Attachment got = takeAttachment(c.args);
        EXPECT_EQ(got.valid, c.valid) << c.args.back();
        EXPECT_EQ(got.length, c.length) << c.args.back();
    }
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
