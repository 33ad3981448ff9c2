// The window's texts in the window's language. The texts are written in Chinese, which is also what the layers
// below the window (device/, presets/, update/) hand over, already filled with numbers and names; they are
// translated here, where they are shown, so those layers stay free of Qt.
#pragma once

#include <QString>

#include <string_view>

namespace qv7::panel {

// Translation contexts (the .ts file's groups).
inline constexpr char kWindowContext[] = "Window";      // the main window's controls, its menu and the tray
inline constexpr char kMessagesContext[] = "Messages";  // captions and texts of message boxes

// `text` (UTF-8) in the window's language: its translation in `context`, or, for a text filled in below the window,
// its pattern's translation filled with the same values. Texts nobody translated (names, numbers, paths and any
// text while the window speaks Chinese) come back as they are.
// `disambiguation` tells apart two uses of one text that English words differently.
QString shownText(const char* context, std::string_view text, const char* disambiguation = nullptr);
inline QString windowText(std::string_view text, const char* disambiguation = nullptr) {
    return shownText(kWindowContext, text, disambiguation);
}
// Group box captions: "音量" heads a group and captions a reverb slider, "闪避" heads a group and names a check box.
inline constexpr char kGroupCaption[] = "group";
inline QString messageText(std::string_view text) { return shownText(kMessagesContext, text); }
// Whether the window speaks English: for texts a lower layer has in both languages (preset file errors).
bool windowInEnglish();

}  // namespace qv7::panel
