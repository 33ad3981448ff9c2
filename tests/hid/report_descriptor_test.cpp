// Report descriptor parsing and report framing, driven by tables of hex strings.
#include "hid/report_descriptor.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace qv7::hid {
namespace {

std::vector<uint8_t> hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream in(text);
    std::string b;
    while (in >> b) bytes.push_back(static_cast<uint8_t>(std::stoul(b, nullptr, 16)));
    return bytes;
}

// The uhid simulator's descriptor: vendor page, 64-byte input and output reports, no identifiers.
const std::string kVendor6464 = "06 00 FF 09 01 A1 01 09 02 15 00 26 FF 00 75 08 95 40 81 02 "
                                "09 03 15 00 26 FF 00 75 08 95 40 91 02 C0";

template <class Case>
std::string caseName(const ::testing::TestParamInfo<Case>& p) {
    return p.param.name;
}

struct ParseCase {
    const char* name;
    std::string descriptor;
    ReportLengths unnumbered;
    std::map<uint8_t, ReportLengths> numbered;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, LengthsPerReport) {
    const auto& c = GetParam();
    const auto info = parseReportDescriptor(hex(c.descriptor));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->unnumbered, c.unnumbered);
    EXPECT_EQ(info->numbered, c.numbered);
    EXPECT_EQ(info->usesReportIds(), !c.numbered.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, ParseTest,
    ::testing::Values(
        ParseCase{"vendor_64_64", kVendor6464, {64, 64, 0}, {}}, ParseCase{"empty", "", {0, 0, 0}, {}},
        ParseCase{"vendor_with_feature",
                  kVendor6464.substr(0, kVendor6464.size() - 2) + "75 08 95 08 B1 02 C0",
                  {64, 64, 8},
                  {}},
        // Three 1-bit buttons, 5 bits of padding, X and Y of 8 bits: bits add up across items.
        ParseCase{"mouse_bits",
                  "05 01 09 02 A1 01 05 09 19 01 29 03 75 01 95 03 81 02 75 05 95 01 81 03 "
                  "05 01 09 30 09 31 75 08 95 02 81 06 C0",
                  {3, 0, 0},
                  {}},
        ParseCase{"odd_bits_round_up", "75 01 95 09 81 02", {2, 0, 0}, {}},
        ParseCase{"with_report_ids",
                  "06 00 FF 09 01 A1 01 85 01 75 08 95 08 81 02 85 02 75 08 95 20 91 02 "
                  "85 03 75 08 95 04 B1 02 85 01 95 02 91 02 C0",
                  {0, 0, 0},
                  {{1, {8, 2, 0}}, {2, {0, 32, 0}}, {3, {0, 0, 4}}}},
        ParseCase{"long_item_ignored", "06 00 FF FE 03 10 AA BB CC 75 08 95 40 81 02 FE 00 20 91 02", {64, 64, 0}, {}},
        ParseCase{"push_pop_restores", "75 08 95 40 A4 75 10 95 02 81 02 B4 91 02", {4, 64, 0}, {}},
        ParseCase{"four_byte_values", "77 08 00 00 00 97 80 00 00 00 81 02", {128, 0, 0}, {}},
        ParseCase{"reserved_items_ignored", "FC F8 75 08 95 40 81 02", {64, 0, 0}, {}},
        ParseCase{"local_and_collections_ignored", "A1 01 09 01 19 00 29 FF C0 C0 75 08 95 01 91 02", {0, 1, 0}, {}}),
    caseName<ParseCase>);

struct RejectCase {
    const char* name;
    std::string descriptor;
};

class RejectTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RejectTest, IsRefused) { EXPECT_FALSE(parseReportDescriptor(hex(GetParam().descriptor)).has_value()); }

INSTANTIATE_TEST_SUITE_P(Nonsense, RejectTest,
                         ::testing::Values(RejectCase{"short_item_truncated", "75 08 95"},
                                           RejectCase{"four_byte_item_truncated", "06 00 FF 97 40 00"},
                                           RejectCase{"long_item_header_truncated", "FE 02"},
                                           RejectCase{"long_item_data_truncated", "FE 05 10 01 02"},
                                           RejectCase{"pop_without_push", "75 08 B4 81 02"},
                                           RejectCase{"report_id_zero", "85 00 75 08 95 40 81 02"},
                                           RejectCase{"report_id_above_255", "86 00 01 75 08 95 40 81 02"},
                                           RejectCase{"report_too_long", "75 08 96 01 40 81 02"},
                                           RejectCase{"size_times_count_huge", "77 FF FF FF FF 97 FF FF FF FF 81 02"},
                                           RejectCase{"sum_past_limit", "75 08 96 00 20 81 02 81 02 81 02"},
                                           RejectCase{"push_too_deep",
                                                      "A4 A4 A4 A4 A4 A4 A4 A4 A4 A4 A4 A4 A4 A4 A4 A4 A4"},
                                           RejectCase{"random_bytes", "FF 13 37 00"}),
                         caseName<RejectCase>);

struct FrameCase {
    const char* name;
    std::size_t dataLength;
    std::size_t outputLength;
    bool written;
};

class FrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameTest, IdentifierDataPadding) {
    const auto& c = GetParam();
    std::vector<uint8_t> data(c.dataLength);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    const auto frame = frameOutputReport(data, c.outputLength);
    ASSERT_EQ(frame.has_value(), c.written);
    if (!frame) return;
    ASSERT_EQ(frame->size(), c.outputLength + 1);
    EXPECT_EQ((*frame)[0], 0) << "report identifier";
    for (std::size_t i = 0; i < c.outputLength; ++i)
        EXPECT_EQ((*frame)[i + 1], i < data.size() ? data[i] : 0) << "data byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Output, FrameTest,
                         ::testing::Values(FrameCase{"empty", 0, 64, true}, FrameCase{"short_padded", 10, 64, true},
                                           FrameCase{"exactly_full", 64, 64, true},
                                           FrameCase{"one_too_long_dropped", 65, 64, false},
                                           FrameCase{"long_report_127", 127, 127, true},
                                           FrameCase{"nothing_fits_zero_length", 1, 0, false}),
                         caseName<FrameCase>);

struct InputCase {
    const char* name;
    std::string raw;
    std::size_t inputLength;
    bool numbered;
    std::string expected;
};

class InputTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(InputTest, DataBytes) {
    const auto& c = GetParam();
    EXPECT_EQ(inputReportData(hex(c.raw), c.inputLength, c.numbered), hex(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Input, InputTest,
    ::testing::Values(InputCase{.name = "unnumbered_exact",
                                .raw = "01 02 03 04",
                                .inputLength = 4,
                                .numbered = false,
                                .expected = "01 02 03 04"},
                      InputCase{.name = "unnumbered_short_padded",
                                .raw = "01 02",
                                .inputLength = 4,
                                .numbered = false,
                                .expected = "01 02 00 00"},
                      InputCase{.name = "unnumbered_long_cut",
                                .raw = "01 02 03 04 05 06",
                                .inputLength = 4,
                                .numbered = false,
                                .expected = "01 02 03 04"},
                      InputCase{.name = "numbered_identifier_removed",
                                .raw = "07 01 02 03 04",
                                .inputLength = 4,
                                .numbered = true,
                                .expected = "01 02 03 04"},
                      InputCase{
                          .name = "numbered_empty", .raw = "", .inputLength = 2, .numbered = true, .expected = "00 00"},
                      InputCase{.name = "unnumbered_zero_first_byte_kept",
                                .raw = "00 AA",
                                .inputLength = 2,
                                .numbered = false,
                                .expected = "00 AA"}),
    caseName<InputCase>);

}  // namespace
}  // namespace qv7::hid
