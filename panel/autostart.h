// Starting the panel with the desktop session: the XDG autostart entry that runs it hidden in the tray.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "common/atomic_file.h"

namespace qv7::panel {

// $XDG_CONFIG_HOME/autostart/io.github.qv7panel.Qv7Panel.desktop ($HOME/.config when XDG_CONFIG_HOME is unset or
// not absolute, as the XDG base directory rules say); empty when neither gives a folder.
std::filesystem::path autostartFile();

// The folders every desktop session's PATH holds, also one started by systemd's autostart generator, whose PATH is
// not the user's shell's: a panel installed there is started by its bare name at login.
inline const std::filesystem::path kSessionPathFolders[] = {"/usr/local/bin", "/usr/bin", "/bin"};

// The program the entry starts: `qv7-panel` when `running` is the qv7-panel of one of `sessionPath`'s folders
// (the package's /usr/bin/qv7-panel, a default `cmake --install`), so an upgrade or a move of the package keeps it
// working; otherwise `running`'s absolute path, quoted for Exec as the desktop entry rules say (a build folder,
// a portable copy, another prefix). Nothing when the path cannot stand in an Exec line (not UTF-8, a control
// character).
std::optional<std::string> autostartCommand(const std::filesystem::path& running,
                                            std::span<const std::filesystem::path> sessionPath = kSessionPathFolders);
// This program, as the kernel knows it (symbolic links resolved).
std::filesystem::path runningProgram();

// The entry's text: `COMMAND --minimized`, enabled.
std::string autostartEntry(const std::string& command = "qv7-panel");

// Whether the session will start the panel: the file is there and not switched off by Hidden=true or
// X-GNOME-Autostart-enabled=false (as another tool may have left it).
bool autostartEnabled(const std::filesystem::path& file);

// Writes the entry for `running` (atomically, creating the folder) or removes the file. The error says which path
// and why.
FileResult setAutostart(const std::filesystem::path& file, bool on,
                        const std::filesystem::path& running = runningProgram());

}  // namespace qv7::panel
