// The rule `qv7ctl --print-udev-rules` prints (the shipped file, compiled in; cli_print_udev_rules compares the
// bytes) grants the seated user access with every rule line it has.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

TEST(UdevRule, ShippedFileHoldsEveryPrintedLine) {
    std::ifstream f(std::string(QV7_SOURCE_DIR) + "/udev/70-qv7.rules");
    ASSERT_TRUE(f) << "udev/70-qv7.rules missing";
    std::string line;
    int lines = 0;
    while (std::getline(f, line)) {
        if (line.empty() || line.front() == '#') continue;
        ++lines;
        EXPECT_NE(line.find("TAG+=\"uaccess\""), std::string::npos) << line;
        EXPECT_NE(line.find("0416"), std::string::npos) << line;
        EXPECT_NE(line.find("1290"), std::string::npos) << line;
    }
    EXPECT_GT(lines, 0);
}
