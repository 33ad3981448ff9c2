// qv7ctl subcommands. Each takes the arguments after its name and returns an exit code.
#pragma once

#include <string>
#include <vector>

#include "cli/device_connection.h"

namespace qv7::cli {

using Args = std::vector<std::string>;

int cmdInfo(const Options& o, const Args& args);
int cmdGet(const Options& o, const Args& args);
int cmdSet(const Options& o, const Args& args);
int cmdFirmwareWrite(const Options& o, const Args& args);
int cmdMix(const Options& o, const Args& args);
int cmdCharge(const Options& o, const Args& args);
int cmdKey(const Options& o, const Args& args);
int cmdPresetList(const Options& o, const Args& args);
int cmdPresetShow(const Options& o, const Args& args);
int cmdPresetApply(const Options& o, const Args& args);
int cmdPresetSave(const Options& o, const Args& args);
int cmdPresetDelete(const Options& o, const Args& args);
int cmdPresetExport(const Options& o, const Args& args);
int cmdPresetImport(const Options& o, const Args& args);
int cmdKeyStore(const Options& o, const Args& args);
int cmdFirmwareCheck(const Options& o, const Args& args);
int cmdFirmwareUpdate(const Options& o, const Args& args);
int cmdTraceCheck(const Options& o, const Args& args);

}  // namespace qv7::cli
