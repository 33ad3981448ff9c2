// What `qv7ctl info` and `qv7ctl get` print, plain or --json. The panel answers the same commands for qv7ctl
// while it holds the Tolka, so both programs print through here and a script cannot tell them apart.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <span>
#include <string>

#include "device/mfi.h"

namespace qv7 {

// One JSON document on one line without a line end: no spaces, text as UTF-8 (control characters escaped),
// whole numbers as integers. One line per document keeps `watch --json` a stream of lines.
std::string jsonLine(const Json::Value& value);

// The identity, battery and quick keys of the driver's device; `device` names where it is.
std::string infoReport(const mfi& driver, std::string device, bool json);
// The same with the quick keys' names given: a panel reports the names its window shows, which a key stored
// since the device last named them has changed already.
std::string infoReport(const mfi& driver, std::string device, std::span<const std::string, 3> quickKeys, bool json);

// The parameter set and advanced settings, one NAME=VALUE per line or one JSON document.
std::string settingsReport(std::span<const uint8_t> parameters, std::span<const uint8_t> advanced, bool json);

}  // namespace qv7
