// Field table, range checks and diagnostic dumps of the two settings records.
#include "params/parameter_set.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace qv7 {

namespace {

constexpr Record P = Record::Parameters;
constexpr Record A = Record::Advanced;

// Indexed by byte. checkOrder/code follow the device's check sequence.
constexpr FieldInfo kParameterFields[ParameterSet::kSize] = {
    {P, "monitorVol", 0, 0, 16, 16, 0, true, -1, 1, false},
    {P, "musicVol", 1, 0, 16, 16, 0, true, -4, 4, false},
    {P, "micVol", 2, 0, 16, 16, 0, true, -2, 2, false},
    {P, "liveVol", 3, 0, 16, 24, 102, true, -3, 3, false},
    {P, "effectState", 4, 0, 255, 255, 0, false, 0, 0, false},
    {P, "accompany", 5, 0, 1, 1, 0, true, -17, 16, false},
    {P, "dodgeSwitch", 6, 0, 1, 1, 0, true, -5, 5, false},
    {P, "rebvol", 7, 0, 16, 16, 0, true, -8, 7, false},
    {P, "wet", 8, 0, 16, 16, 0, true, -9, 8, false},
    {P, "type", 9, 0, 6, 6, 0, true, -10, 9, false},
    {P, "delay", 10, 1, 20, 20, 0, true, -11, 10, false},
    {P, "effectSwitch", 11, 0, 2, 2, 0, true, -12, 11, false},
    {P, "effectTone", 12, 0, 11, 11, 0, true, -13, 12, false},
    {P, "toneCent", 13, 0, 20, 20, 0, true, -14, 13, false},
    {P, "effectPitch", 14, 0, 24, 24, 0, true, -7, 6, false},
    {P, "auto_poweroff", 15, 0, 1, 1, 0, true, -15, 14, false},
    {P, "auto_poweroff_time", 16, 1, 20, 20, 0, true, -16, 15, false},
    {P, "eqSwitch", 17, 0, 1, 1, 0, true, -19, 17, false},
    {P, "eqGain[0]", 18, 0, 48, 48, 0, true, -20, 18, false},
    {P, "eqGain[1]", 19, 0, 48, 48, 0, true, -21, 19, false},
    {P, "eqGain[2]", 20, 0, 48, 48, 0, true, -22, 20, false},
    {P, "eqGain[3]", 21, 0, 48, 48, 0, true, -23, 21, false},
    {P, "eqGain[4]", 22, 0, 48, 48, 0, true, -24, 22, false},
    {P, "eqGain[5]", 23, 0, 48, 48, 0, true, -25, 23, false},
    {P, "eqGain[6]", 24, 0, 48, 48, 0, true, -18, 24, false},
    {P, "dodgeThreshold", 25, 1, 8, 8, 0, true, -26, 25, true},
    {P, "dodgeSpeed", 26, 1, 8, 8, 0, true, -27, 26, true},
    {P, "dodgeLevel", 27, 1, 8, 8, 0, true, -28, 27, true},
    {P, "hpfCutoff", 28, 1, 20, 20, 0, true, -30, 29, true},
    {P, "lpfCutoff", 29, 1, 20, 20, 0, true, -29, 28, true},
};

constexpr FieldInfo kAdvancedFields[AdvancedSettings::kSize] = {
    {A, "sample_rate", 0, 0, 1, 1, 0, true, -2, 2, false},   {A, "erfan", 1, 0, 1, 1, 0, true, -3, 3, false},
    {A, "autoTouchApp", 2, 0, 1, 1, 0, true, -1, 1, false},  {A, "doubleLiveSwitch", 3, 0, 1, 1, 0, true, -4, 4, true},
    {A, "denoise_switch", 4, 0, 1, 1, 0, true, -5, 5, true}, {A, "denoise_thr", 5, 0, 16, 16, 0, true, -6, 6, true},
    {A, "noise_ctr", 6, 0, 16, 16, 0, true, -7, 7, true},
};

template <std::size_t N>
std::vector<const FieldInfo*> inCheckOrder(const FieldInfo (&fields)[N]) {
    std::vector<const FieldInfo*> order;
    for (const auto& f : fields)
        if (f.validated) order.push_back(&f);
    std::sort(order.begin(), order.end(),
              [](const FieldInfo* a, const FieldInfo* b) { return a->checkOrder < b->checkOrder; });
    return order;
}

constexpr uint8_t kParameterDumpOrder[] = {6, 25, 26, 27, 17, 18, 19, 20, 21, 22, 23, 24, 0,  2, 1,
                                           3, 7,  8,  9,  10, 29, 28, 11, 12, 13, 14, 15, 16, 5, 4};
constexpr uint8_t kAdvancedDumpOrder[] = {2, 0, 1, 3, 4, 5, 6};

std::atomic<int> parameterDumps{0};
std::atomic<int> advancedDumps{0};

template <typename Rec>
void dump(const Rec& rec, std::span<const FieldInfo> fields, std::span<const uint8_t> order, std::atomic<int>& counter,
          const LineWriter& out) {
    const int n = counter.fetch_add(1);
    char line[96];
    std::snprintf(line, sizeof line, "------------(%d start)---------------\n", n);
    out(line);
    for (uint8_t byte : order) {
        std::snprintf(line, sizeof line, "%s(%d)\n", fields[byte].name, rec.at(byte));
        out(line);
    }
    std::snprintf(line, sizeof line, "------------(%d end)---------------\n", n);
    out(line);
}

}  // namespace

ParameterSet ParameterSet::fromPrefix(std::span<const uint8_t> b) {
    Bytes bytes{};
    std::copy_n(b.begin(), std::min(b.size(), kSize), bytes.begin());
    return fromBytes(bytes);
}

void ParameterSet::set(std::size_t byte, uint8_t value) {
    Bytes b = bytes();
    b.at(byte) = value;
    *this = fromBytes(b);
}

AdvancedSettings AdvancedSettings::fromPrefix(std::span<const uint8_t> b) {
    Bytes bytes{};
    std::copy_n(b.begin(), std::min(b.size(), kSize), bytes.begin());
    return fromBytes(bytes);
}

void AdvancedSettings::set(std::size_t byte, uint8_t value) {
    Bytes b = bytes();
    b.at(byte) = value;
    *this = fromBytes(b);
}

std::span<const FieldInfo> parameterFields() { return kParameterFields; }
std::span<const FieldInfo> advancedFields() { return kAdvancedFields; }

const FieldInfo* findField(std::string_view name) {
    for (const auto& f : kParameterFields)
        if (name == f.name) return &f;
    for (const auto& f : kAdvancedFields)
        if (name == f.name) return &f;
    return nullptr;
}

uint8_t fieldMax(const FieldInfo& f, const std::function<bool(int)>& versionAbove) {
    if (f.newerThreshold != 0 && versionAbove && versionAbove(f.newerThreshold)) return f.maxNewer;
    return f.max;
}

int checkParameterSet(const ParameterSet& set, int count, const std::function<bool(int)>& versionAbove) {
    static const auto order = inCheckOrder(kParameterFields);
    for (const FieldInfo* f : order) {
        if (f->late && count <= static_cast<int>(ParameterSet::kEarlySize)) continue;
        const uint8_t v = set.at(f->byte);
        if (v < f->min || v > fieldMax(*f, versionAbove)) return f->code;
    }
    return 0;
}

int checkAdvancedSettings(const AdvancedSettings& adv, const std::function<bool(int)>& versionAbove) {
    static const auto order = inCheckOrder(kAdvancedFields);
    const bool full = versionAbove && versionAbove(106);
    for (const FieldInfo* f : order) {
        if (f->late && !full) continue;
        const uint8_t v = adv.at(f->byte);
        if (v < f->min || v > f->max) return f->code;
    }
    return 0;
}

void DumpParameterSet(const ParameterSet& set, const LineWriter& out) {
    dump(set, kParameterFields, kParameterDumpOrder, parameterDumps, out);
}
void DumpAdvancedSettings(const AdvancedSettings& adv, const LineWriter& out) {
    dump(adv, kAdvancedFields, kAdvancedDumpOrder, advancedDumps, out);
}
void DumpParameterSet(const ParameterSet& set) { DumpParameterSet(set, writeLineToStdout); }
void DumpAdvancedSettings(const AdvancedSettings& adv) { DumpAdvancedSettings(adv, writeLineToStdout); }

}  // namespace qv7
