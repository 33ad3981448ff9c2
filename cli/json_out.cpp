// One jsoncpp writer for every --json document of qv7ctl.
#include "cli/json_out.h"

namespace qv7::cli {

std::string jsonText(const Json::Value& value) {
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

}  // namespace qv7::cli
