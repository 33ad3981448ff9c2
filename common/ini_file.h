// A small INI reader and writer with the private-profile rules the settings file needs.
#pragma once

#include <string>
#include <string_view>

namespace qv7 {

// The value of `key` in `[section]`, or `fallback` when the file, section or key is absent. Only a
// regular file of at most 64 KiB is read; anything else (a FIFO, a device, a huge file) counts as absent
// and is never waited on.
// Names compare without regard to ASCII case; blanks around names and values are dropped;
// the result is cut to `bufferSize` - 1 bytes as the fixed read buffer did.
std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view fallback, size_t bufferSize = 512);

// Sets `key` in `[section]`, keeping every other line. The new file is written beside the old one
// and renamed over it, so a crash leaves either the old or the new file, never a torn one. False,
// leaving it as it is, when an existing file could not be read by the rule above.
bool WriteIniString(const std::string& path, std::string_view section, std::string_view key, std::string_view value);

}  // namespace qv7
