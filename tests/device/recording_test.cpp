// Recordings: what the recorder writes (serial numbers masked, bounded, readable after a kill), what the check
// finds in a recording edited to carry a device quirk, and how the replay answers and reports a divergence.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "device/link_runner.h"
#include "device/recording_check.h"
#include "device/report_recording.h"
#include "sim/replay_device.h"
#include "sim/sim_transport.h"
#include "tests/support/temp_dir.h"

namespace qv7 {
namespace {

constexpr const char* kSerial = "QV7SIM0000000001";
constexpr const char* kChipSerial = "SIMCHIP-0416-1290-0001";

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string hexOf(std::string_view text) {
    return hexBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// The driver's start-up conversation with the simulated Tolka, recorded; returns the file's text.
std::string recordStartUp(const test::TempDir& dir, bool raw, std::size_t limit = ReportRecorder::kDefaultLimitBytes) {
    auto recorder = std::make_shared<ReportRecorder>();
    std::string error;
    const auto path = (dir / (raw ? "raw.txt" : "masked.txt")).string();
    EXPECT_TRUE(recorder->open({path, "test", raw, limit}, error)) << error;
    RecordingTransport transport(std::make_unique<sim::SimTransport>(), recorder);
    mfi driver;
    driver.setDiagnostics([](std::string_view) {});
    ManualClock clock;
    LinkRunner runner(driver, transport, clock);
    runner.session().connect(1);
    runner.runUntil([&] { return driver.step() == kStepIdle && !driver.identity().FirmwareVersion.empty(); }, 10'000);
    recorder->close("end of test");
    return readText(path);
}

TEST(Recording, SerialNumbersAreMaskedUnlessRawAndTheMaskedFileStillChecksClean) {
    test::TempDir dir;
    const std::string masked = recordStartUp(dir, false);
    const std::string raw = recordStartUp(dir, true);
    // The identification spans two reports: the serial is split across them in the raw file's hex, so look for
    // its first bytes, which sit in the first report.
    EXPECT_EQ(masked.find(hexOf(std::string_view(kSerial).substr(0, 8))), std::string::npos);
    EXPECT_EQ(masked.find(hexOf(kChipSerial)), std::string::npos);
    EXPECT_NE(raw.find(hexOf(std::string_view(kSerial).substr(0, 8))), std::string::npos);
    EXPECT_NE(raw.find(hexOf(kChipSerial)), std::string::npos);
    EXPECT_NE(masked.find("# masked: SerialNumber"), std::string::npos);
    EXPECT_NE(raw.find("# masked: nothing"), std::string::npos);

    // Same lengths and repaired checksums: the masked conversation is as well-formed as the raw one.
    for (const std::string* text : {&masked, &raw}) {
        const Recording r = parseRecording(*text);
        EXPECT_TRUE(r.problems.empty());
        const RecordingCheck check = checkRecording(r);
        EXPECT_TRUE(check.anomalies.empty()) << check.anomalies.front().line << ": " << check.anomalies.front().text;
        EXPECT_EQ(check.firmwareVersion, "1.0.7");
        EXPECT_GT(check.packetsFromDevice, 5u);
    }
}

// What the transport knows of the device (on hidraw: its bus identifiers, interface and report descriptor) heads the
// recording.
TEST(Recording, TheTransportsIdentityHeadsTheFile) {
    class Described : public sim::SimTransport {
    public:
        std::vector<std::pair<std::string, std::string>> identity() const override {
            return {{"hid id", "0003:00000416:00001290"}, {"report descriptor", "06 00 ff 09 01"}};
        }
    };
    test::TempDir dir;
    auto recorder = std::make_shared<ReportRecorder>();
    std::string error;
    ASSERT_TRUE(recorder->open({(dir / "id.txt").string(), "test", false, ReportRecorder::kDefaultLimitBytes}, error));
    { RecordingTransport transport(std::make_unique<Described>(), recorder); }
    recorder->close();
    const std::string text = readText(dir / "id.txt");
    EXPECT_NE(text.find("\n# hid id: 0003:00000416:00001290\n# report descriptor: 06 00 ff 09 01\n"), std::string::npos)
        << text;
}

TEST(Recording, StopsAtItsLimitAndSaysSo) {
    test::TempDir dir;
    const std::string text = recordStartUp(dir, false, 600);
    EXPECT_LE(text.size(), 600u + 100u);  // the limit, and the one line that says why it stopped
    EXPECT_NE(text.find("# stopped: the recording reached its limit of 600 bytes"), std::string::npos);
    EXPECT_TRUE(parseRecording(text).problems.empty());
}

TEST(Recording, ALastLineCutShortByAKillIsSkippedOthersAreReported) {
    const Recording r = parseRecording("# qv7-recording 1\n0.1 > ff 55\nnonsense\n0.2 < ff 5a 00 0");
    ASSERT_EQ(r.reports.size(), 1u);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0], "line 3: not a report line");
}

// One edit per row of the clean start-up recording, and the anomaly the check must name.
TEST(RecordingCheck, FindsTheQuirkEditedIntoARecording) {
    test::TempDir dir;
    const Recording clean = parseRecording(recordStartUp(dir, true));
    auto index = [&](ReportDirection d, uint8_t code) -> std::size_t {
        // The report whose data-session application starts with `code`.
        for (std::size_t i = 0; i < clean.reports.size(); ++i) {
            const auto& b = clean.reports[i].bytes;
            if (clean.reports[i].direction == d && b.size() > 11 && b[7] == 0x0B && b[11] == code) return i;
        }
        ADD_FAILURE() << "no report with code " << int(code);
        return 0;
    };
    struct Case {
        const char* what;
        std::function<void(Recording&)> edit;
        const char* anomaly;
    };
    const std::vector<Case> cases = {
        {"payload checksum", [&](Recording& r) { r.reports[index(ReportDirection::FromDevice, 0x8A)].bytes[20] ^= 1; },
         "payload checksum"},
        {"reply without a request",
         [&](Recording& r) {
             auto extra = r.reports[index(ReportDirection::FromDevice, 0x8A)];
             r.reports.push_back(extra);
             r.reports.back().line = 999;
         },
         "reply 0x8a answers no request 0x0a"},
        {"sequence jump",
         [&](Recording& r) {
             auto& b = r.reports[index(ReportDirection::FromDevice, 0xA2)].bytes;
             b[5] = static_cast<uint8_t>(b[5] + 3);
             b[8] = link::checksum(std::span<const uint8_t>(b).first(8));
         },
         "sequence number jumps"},
        {"parameter out of range",
         [&](Recording& r) {
             auto& b = r.reports[index(ReportDirection::FromDevice, 0x82)].bytes;
             b[12] = 0xFF;  // the first parameter byte
             const std::size_t total = link::lengthField(b);
             b[total - 1] = link::checksum(std::span<const uint8_t>(b).subspan(9, total - 10));
         },
         "parameter report out of range for firmware 1.0.7"},
        {"not a packet", [&](Recording& r) { r.reports[index(ReportDirection::FromDevice, 0xA2)].bytes[0] = 0x12; },
         "does not start a packet"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recording edited = clean;
        c.edit(edited);
        const RecordingCheck check = checkRecording(edited);
        bool found = false;
        for (const auto& a : check.anomalies) found = found || a.text.find(c.anomaly) != std::string::npos;
        EXPECT_TRUE(found) << (check.anomalies.empty() ? std::string("no anomaly") : check.anomalies.front().text);
    }
}

TEST(ReplayDevice, AnswersInOrderRepeatsForResendsAndReportsTheFirstDifferingByte) {
    const Recording r = parseRecording("0.1 > 01 02 03\n"
                                       "0.2 < aa\n"
                                       "0.3 < ab\n"
                                       "0.4 > 01 02 04\n"
                                       "0.5 < bb\n"
                                       "0.6 > 01 02 04\n"
                                       "0.7 < cc\n");
    sim::ReplayDevice device(r, 4);
    std::vector<std::string> told;
    device.onDivergence = [&](const std::string& line) { told.push_back(line); };
    using Reports = std::vector<sim::Report>;
    EXPECT_EQ(device.receive(std::vector<uint8_t>{1, 2, 3, 0}), (Reports{{0xaa, 0, 0, 0}, {0xab, 0, 0, 0}}));
    EXPECT_EQ(device.receive(std::vector<uint8_t>{1, 2, 4}), (Reports{{0xbb, 0, 0, 0}}));
    // The resend gets the recorded resend's answer.
    EXPECT_EQ(device.receive(std::vector<uint8_t>{1, 2, 4}), (Reports{{0xcc, 0, 0, 0}}));
    EXPECT_TRUE(device.divergences().empty());
    EXPECT_TRUE(device.finished());
    // Past the end, and a request the recording never had.
    EXPECT_TRUE(device.receive(std::vector<uint8_t>{9}).empty());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "request 4: the recording has no more requests");

    sim::ReplayDevice other(r, 4);
    EXPECT_TRUE(other.receive(std::vector<uint8_t>{1, 2, 5}).empty());
    ASSERT_EQ(other.divergences().size(), 1u);
    EXPECT_EQ(other.divergences()[0], "request 1 (line 1): differs at byte 2: recorded 0x03, sent 0x05");
}

}  // namespace
}  // namespace qv7
