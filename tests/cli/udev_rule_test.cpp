// The rule qv7ctl prints when access is denied is the rule the project ships.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cli/tolka_cli.h"

TEST(UdevRule, ShippedFileHoldsEveryPrintedLine) {
    std::ifstream f(std::string(QV7_SOURCE_DIR) + "/udev/70-qv7.rules");
    ASSERT_TRUE(f) << "udev/70-qv7.rules missing";
    std::stringstream file;
    file << f.rdbuf();
    std::istringstream printed(qv7::hid::kUdevRule);
    std::string line;
    int lines = 0;
    while (std::getline(printed, line)) {
        ++lines;
        EXPECT_NE(file.str().find(line), std::string::npos) << line;
        EXPECT_NE(line.find("TAG+=\"uaccess\""), std::string::npos) << line;
    }
    EXPECT_GT(lines, 0);
}
