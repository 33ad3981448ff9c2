// One jsoncpp writer for every --json document of qv7ctl.
#include "cli/json_out.h"

#include "presets/device_report.h"

namespace qv7::cli {

std::string jsonText(const Json::Value& value) { return jsonLine(value); }

}  // namespace qv7::cli
