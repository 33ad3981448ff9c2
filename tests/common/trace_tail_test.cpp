// The trace's last lines for "复制诊断信息": bounded in count and size, safe from any thread.
#include "common/trace_tail.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qv7 {
namespace {

TEST(TraceTail, KeepsTheLastLinesWithoutTheirEndsAndPassesEveryLineOn) {
    struct Case {
        const char* name;
        std::size_t capacity;
        std::vector<std::string> written;
        std::vector<std::string> kept;
    };
    const std::string huge(5000, 'x');
    const Case cases[] = {
        {"line ends go, an empty line stays",
         4,
         {"mfiSetPara(0)\n", "dwError = 12", "\r\n"},
         {"mfiSetPara(0)", "dwError = 12", ""}},
        {"only the last lines", 2, {"a\n", "b\n", "c\n"}, {"b", "c"}},
        {"a flood line is cut", 2, {huge + "\n"}, {huge.substr(0, TraceTail::kMaxLineBytes)}},
        {"nothing kept", 0, {"a\n"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> passed;
        TraceTail tail(c.capacity);
        LineWriter writer = tail.tee([&](std::string_view line) { passed.emplace_back(line); });
        for (const std::string& line : c.written) writer(line);
        EXPECT_EQ(tail.lines(), c.kept);
        EXPECT_EQ(passed, c.written);
    }
}

TEST(TraceTail, WritersOnManyThreadsAndAWriterThatOutlivesTheTail) {
    LineWriter writer;
    {
        TraceTail tail(200);
        writer = tail.tee([](std::string_view) {});
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&writer, t] {
                for (int i = 0; i < 1000; ++i) writer("thread " + std::to_string(t) + "\n");
            });
        for (auto& th : threads) th.join();
        const std::vector<std::string> lines = tail.lines();
        ASSERT_EQ(lines.size(), 200u);
        for (const std::string& line : lines) EXPECT_EQ(line.rfind("thread ", 0), 0u) << line;
    }
    writer("after the window went\n");  // the reader thread may still trace while the window is torn down
}

}  // namespace
}  // namespace qv7
