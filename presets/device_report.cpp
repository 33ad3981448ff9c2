#include "presets/device_report.h"

#include <cstdio>

#include "common/display_text.h"
#include "common/gbk_text.h"
#include "device/identity_fields.h"
#include "presets/preset_exchange.h"

namespace qv7 {

std::string jsonLine(const Json::Value& value) {
    static const Json::StreamWriterBuilder builder = [] {
        Json::StreamWriterBuilder b;
        b["indentation"] = "";
        b["commentStyle"] = "None";
        b["emitUTF8"] = true;  // names in Chinese stay readable
        b["precision"] = 17;   // no value is fractional today; one that is must survive the round trip
        b["precisionType"] = "significant";
        return b;
    }();
    return Json::writeString(builder, value);
}

std::string infoReport(const mfi& driver, std::string device, bool json) {
    const std::vector<IdentityField> fields = identityFields(driver, std::move(device));
    if (json) {
        Json::Value v(Json::objectValue);
        for (const auto& [name, value] : fields) v[name] = value;
        Json::Value keys(Json::arrayValue);
        for (int k = 0; k < 3; ++k) keys.append(gbk::toUtf8Display(driver.quickKeyName(k)));
        v["quickKeys"] = keys;
        return jsonLine(v) + "\n";
    }
    // The device writes these texts: a line end or an escape sequence in them stays visible as such.
    auto line = [](const std::string& name, const std::string& value) {
        std::string caption = name + ":";
        if (caption.size() < 18) caption.resize(18, ' ');
        return caption + " " + value + "\n";
    };
    std::string text, keys;
    for (const auto& [name, value] : fields) text += line(name, escapeControls(value));
    for (int k = 0; k < 3; ++k) keys += (k ? " | " : "") + escapeControls(gbk::toUtf8Display(driver.quickKeyName(k)));
    return text + line("quickKeys", keys);
}

std::string settingsReport(std::span<const uint8_t> parameters, std::span<const uint8_t> advanced, bool json) {
    if (json) {
        Json::Value v(Json::objectValue);
        v["parameters"] = recordJson(parameterFields(), parameters);
        v["advanced"] = recordJson(advancedFields(), advanced);
        return jsonLine(v) + "\n";
    }
    std::string text;
    for (const auto& f : parameterFields())
        text += std::string(f.name) + "=" + std::to_string(parameters[f.byte]) + "\n";
    for (const auto& f : advancedFields()) text += std::string(f.name) + "=" + std::to_string(advanced[f.byte]) + "\n";
    return text;
}

}  // namespace qv7
