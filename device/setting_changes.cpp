#include "device/setting_changes.h"

namespace qv7 {

namespace {

std::string rangeText(const FieldInfo& f, const mfi& d) {
    return std::to_string(f.min) + ".." + std::to_string(fieldMax(f, [&](int n) { return d.mfiVersionAbove(n); }));
}

const FieldInfo* fieldWithCode(std::span<const FieldInfo> fields, int code) {
    for (const auto& f : fields)
        if (f.validated && f.code == code) return &f;
    return nullptr;
}

std::string outOfRange(std::span<const FieldInfo> fields, int code, std::span<const uint8_t> bytes, const mfi& d) {
    const FieldInfo* f = fieldWithCode(fields, code);
    return std::string(f ? f->name : "?") + "=" + std::to_string(f ? bytes[f->byte] : 0) + " is out of range (" +
           (f ? rangeText(*f, d) : "?") + " on firmware " + d.identity().FirmwareVersion + ")";
}

}  // namespace

std::optional<SettingChanges> applyAssignments(const mfi& d, ParameterSet parameters, AdvancedSettings advanced,
                                               std::span<const Assignment> changes, std::string& error) {
    SettingChanges c{parameters, advanced};
    for (const auto& ch : changes) {
        if (!ch.field) continue;
        const bool knownByDevice = ch.field->record == Record::Parameters
                                       ? !(ch.field->late && d.isOriginalFirmware())
                                       : !(ch.field->late && !d.firmware().sevenAdvanced);
        if (!knownByDevice) {
            error = std::string(ch.field->name) + " is not a setting of firmware " + d.identity().FirmwareVersion;
            return std::nullopt;
        }
        if (ch.field->record == Record::Parameters) {
            c.parameters.set(ch.field->byte, static_cast<uint8_t>(ch.value));
            c.parametersChanged = true;
        } else {
            c.advanced.set(ch.field->byte, static_cast<uint8_t>(ch.value));
            c.advancedChanged = true;
        }
    }
    // Refused as a whole: the device must never get half of a command line.
    if (c.parametersChanged) {
        if (const int code = d.mfiCheckPara(c.parameters, d.parameterCount()); code != 0) {
            error = outOfRange(parameterFields(), code, c.parameters.bytes(), d);
            return std::nullopt;
        }
    }
    if (c.advancedChanged) {
        if (const int code = d.mfiCheckAdvanced(c.advanced); code != 0) {
            error = outOfRange(advancedFields(), code, c.advanced.bytes(), d);
            return std::nullopt;
        }
    }
    return c;
}

}  // namespace qv7
