// Starting the panel with the desktop session: the XDG autostart entry that runs it hidden in the tray.
#pragma once

#include <filesystem>

#include "common/atomic_file.h"

namespace qv7::panel {

// $XDG_CONFIG_HOME/autostart/io.github.qv7panel.Qv7Panel.desktop ($HOME/.config when XDG_CONFIG_HOME is unset or
// not absolute, as the XDG base directory rules say); empty when neither gives a folder.
std::filesystem::path autostartFile();

// The entry's text: `qv7-panel --minimized`, enabled.
std::string autostartEntry();

// Whether the session will start the panel: the file is there and not switched off by Hidden=true or
// X-GNOME-Autostart-enabled=false (as another tool may have left it).
bool autostartEnabled(const std::filesystem::path& file);

// Writes the entry (atomically, creating the folder) or removes the file. The error says which path and why.
FileResult setAutostart(const std::filesystem::path& file, bool on);

}  // namespace qv7::panel
