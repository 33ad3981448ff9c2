// para.bin byte for byte: records, length rules, skipped records and crash-safe replacement.
#include "params/preset_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "files.h"
#include "hex.h"
#include "preset_records.h"
#include "temp_dir.h"

namespace qv7 {
namespace {

using test::Bytes;
using test::FileSizeLimit;
using test::TempDir;

PresetEntry entryOf(const Bytes& set, std::string_view name) {
    ParameterSet::Bytes b{};
    std::copy(set.begin(), set.end(), b.begin());
    return PresetEntry::make(ParameterSet::fromBytes(b), name);
}

TEST(PresetFile, ThreeLetterRecordMatchesTheHandMadeFixture) {
    const auto r = makeUserPresetRecord(entryOf(test::singingDefault(), "abc"));
    EXPECT_EQ(Bytes(r.begin(), r.end()), test::abcRecordFixture());
}

TEST(PresetFile, EmptyRecordChecksumIs0x28) {
    UserPresetRecord r{};
    r[0] = 0x1E;
    r[1] = 0x0A;
    EXPECT_EQ(RecordChecksum(r), 0x28);
}

TEST(PresetFile, ReadsTheFixtureBack) {
    const auto e = parseUserPresetRecord(std::span<const uint8_t, 100>(test::abcRecordFixture().data(), 100));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->nameBytes(), "abc");
    const auto b = e->set.bytes();
    EXPECT_EQ(Bytes(b.begin(), b.end()), test::singingDefault());
}

// n valid records named "u0", "u1", ...
Bytes validRecords(std::size_t n) {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i) {
        const auto r = test::handRecord(test::singingDefault(), "u" + std::to_string(i));
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

TEST(PresetFile, LengthRulesDecideWhetherAnythingLoads) {
    struct Case {
        const char* what;
        Bytes file;
        std::size_t loaded;
    };
    Bytes oversized = validRecords(139);  // 13,900 bytes
    Bytes odd = validRecords(2);
    odd.resize(250);
    const Case cases[] = {
        {"empty", {}, 0},
        {"250 bytes", odd, 0},
        {"13,900 bytes", oversized, 0},
        {"13,800 bytes", validRecords(138), 138},
        {"one record", validRecords(1), 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(decodeUserPresets(c.file).size(), c.loaded);
        test::writeFile(dir / "para.bin", c.file);
        EXPECT_EQ(readUserPresetFile(dir / "para.bin").size(), c.loaded);
    }
    EXPECT_TRUE(readUserPresetFile(dir / "missing.bin").empty());
    EXPECT_TRUE(readUserPresetFile(dir.path()).empty());  // a directory is not a file
}

TEST(PresetFile, BadSecondRecordIsSkipped) {
    struct Case {
        const char* what;
        Bytes second;
    };
    const Case cases[] = {
        {"checksum", test::handRecord(test::singingDefault(), "two", 1)},
        {"parameter count byte",
         [] {
             auto r = test::handRecord(test::singingDefault(), "two");
             r[0] = 0x19;
             r[99] = static_cast<uint8_t>(r[99] - 5);  // checksum still right
             return r;
         }()},
        {"name length byte",
         [] {
             auto r = test::handRecord(test::singingDefault(), "two");
             r[1] = 0x14;
             r[99] = static_cast<uint8_t>(r[99] + 10);
             return r;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = test::cat({test::handRecord(test::singingDefault(), "one"), c.second,
                                      test::handRecord(test::singingDefault(), "three")});
        const auto entries = decodeUserPresets(file);
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].nameBytes(), "one");
        EXPECT_EQ(entries[1].nameBytes(), "three");
    }
}

TEST(PresetFile, ValuesAreNotValidatedOnLoad) {
    Bytes set(30, 0xFF);
    const auto entries = decodeUserPresets(test::handRecord(set, "x"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].set.liveVol, 0xFF);
}

TEST(PresetFile, AtomicWriteReplacesContentsAndKeepsTheMode) {
    TempDir dir;
    const auto path = dir / "para.bin";
    test::writeFile(path, validRecords(3));
    ::chmod(path.c_str(), 0640);
    const Bytes next = validRecords(1);
    ASSERT_TRUE(writeFileAtomically(path, next)) << writeFileAtomically(path, next).error;
    EXPECT_EQ(test::readFile(path), next);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "temporary file left";
}

TEST(PresetFile, FailedCreateNamesThePathAndCreatesNothing) {
    TempDir dir;
    const auto r = writeFileAtomically(dir / "no-such-dir" / "para.bin", validRecords(1));
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("no-such-dir"), std::string::npos) << r.error;
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-dir"));
}

TEST(PresetFile, FailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
    TempDir dir;
    const auto path = dir / "para.bin";
    const Bytes old = validRecords(1);
    test::writeFile(path, old);
    FileResult r;
    {
        FileSizeLimit limit(150);
        r = writeFileAtomically(path, validRecords(3));
    }
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("cannot write"), std::string::npos) << r.error;
    EXPECT_EQ(test::readFile(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A child saves two versions in turn until it is killed at a random moment; whatever instant the
// kill lands on, the file must be one complete version, never a mixture, a truncation or empty.
TEST(PresetFile, KillDuringSaveNeverLeavesATornFile) {
    TempDir dir;
    const auto path = dir / "para.bin";
    const Bytes a = validRecords(1);
    const Bytes b = validRecords(138);
    ASSERT_TRUE(writeFileAtomically(path, a));
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> delayUs(0, 4000);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                writeFileAtomically(path, b);
                writeFileAtomically(path, a);
            }
        }
        ::usleep(static_cast<useconds_t>(delayUs(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const auto now = test::readFile(path);
        ASSERT_TRUE(now) << "round " << round;
        ASSERT_TRUE(*now == a || *now == b) << "round " << round << ": " << now->size() << " bytes";
    }
}

}  // namespace
}  // namespace qv7
