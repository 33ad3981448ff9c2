// qv7ctl's JSON documents, all written by jsoncpp the same way.
#pragma once

#include <json/json.h>

#include <string>

namespace qv7::cli {

// `value` on one line, without a line end: no spaces, text as UTF-8 (control characters escaped),
// whole numbers as integers. One line per document keeps `watch --json` a stream of lines and lets
// a script read any command's output with one parse.
std::string jsonText(const Json::Value& value);

}  // namespace qv7::cli
