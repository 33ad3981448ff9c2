// Building the version-check body, judging replies with jsoncpp, and reading link files.
#include "update/version_check.h"

#include <json/json.h>

#include <exception>
#include <memory>

#include "common/gbk_text.h"

namespace qv7 {

std::string VersionCheckRequest(std::string_view hardwareVersion, std::string_view softwareVersion,
                                std::string_view type) {
    std::string body = R"(json={"method" : "checkVersion", "parameters" : { "hardwareVersion":")";
    body += hardwareVersion;
    body += R"(","softwareVersion" : ")";
    body += softwareVersion;
    body += R"(","type" : ")";
    body += type;
    body += R"("}})";
    return body;
}

std::string PanelVersionCheckRequest() { return VersionCheckRequest(kPanelVersion, kPanelVersion, kPanelType); }

namespace {

bool readString(const Json::Value& root, const char* name, std::string& out) {
    const Json::Value* v = root.find(name, name + std::char_traits<char>::length(name));
    if (v == nullptr) return true;
    if (!v->isString()) return false;
    // C-string access as the panel has always read these members: a "\u0000" ends the text, so
    // "112304\u0000..." is still the offer status.
    out = v->asCString();
    return true;
}

bool readSize(const Json::Value& root, const char* name, uint32_t& out) {
    const Json::Value* v = root.find(name, name + std::char_traits<char>::length(name));
    if (v == nullptr) return true;
    // 98304.0 or "98304" are not what the service sends; only a whole JSON number that fits counts.
    if ((v->type() != Json::intValue && v->type() != Json::uintValue) || !v->isUInt()) return false;
    out = v->asUInt();
    return true;
}

}  // namespace

std::optional<VersionCheckReply> ParseVersionCheckReply(std::string_view text) {
    // The builder's defaults are the old reader's (comments allowed, any root, trailing text ignored);
    // the object test below narrows the root.
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    // jsoncpp throws instead of failing on some inputs (nesting beyond its stack limit): a reply from
    // the network must never end the program, so those offer nothing too.
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!root.isObject()) return std::nullopt;

    VersionCheckReply r;
    bool ok = readString(root, "status", r.status) && readString(root, "softwareVersion", r.softwareVersion) &&
              readString(root, "description", r.description) && readSize(root, "filesize", r.filesize) &&
              readString(root, "urlPath", r.urlPath) && readString(root, "hardwareVersion", r.hardwareVersion) &&
              readString(root, "checksum", r.checksum);
    if (!ok) return std::nullopt;
    return r;
}

std::string ExtractLinkAddress(std::string_view gbkText) {
    std::string_view text = gbkText.substr(0, gbkText.find('\0'));

    // Index of the first `sign` that is a character of its own, or npos.
    auto find = [](std::string_view s, char sign) -> size_t {
        for (size_t i = 0; i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c >= 0x81 && c <= 0xFE && i + 1 < s.size()) {  // a double-byte GBK character
                ++i;
            } else if (s[i] == sign) {
                return i;
            }
        }
        return std::string_view::npos;
    };

    size_t p = find(text, '<');
    std::string_view rest = p == std::string_view::npos ? text : text.substr(p + 1);
    size_t q = find(rest, '>');
    if (q == std::string_view::npos) return {};
    std::optional<std::string> address = gbk::toUtf8(rest.substr(0, q));
    return address.value_or(std::string{});
}

}  // namespace qv7
