// What a window may write its export into: regular files, through a link too; never a pipe, a device or a folder.
#include "common/output_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace qv7 {
namespace {

TEST(RegularFileTarget, RegularFilesAndLinksToThemOnly) {
    test::TempDir dir;
    std::ofstream(dir / "file.json") << "x";
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_symlink(dir / "file.json", dir / "link.json");
    std::filesystem::create_symlink(dir / "pipe", dir / "link-to-pipe");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    const auto real = std::filesystem::canonical(dir / "file.json");
    struct Case {
        const char* name;
        std::optional<std::filesystem::path> target;
    };
    const Case cases[] = {
        {"new.json", dir / "new.json"}, {"file.json", dir / "file.json"}, {"link.json", real},
        {"pipe", std::nullopt},         {"folder", std::nullopt},         {"link-to-pipe", std::nullopt},
        {"dangling", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(regularFileTarget(dir / c.name), c.target);
    }
    EXPECT_EQ(regularFileTarget("/dev/null"), std::nullopt);
}

}  // namespace
}  // namespace qv7
