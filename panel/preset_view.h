// The window's side of the preset library: combo 1064 and "删除效果" through the controller, dialogs, quick-key
// replacement.
#pragma once

#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "panel/dialog_runner.h"
#include "panel/panel_controller.h"
#include "presets/preset_library.h"

class QComboBox;

namespace qv7::panel {

// The list lives in the controller like every other control, so the widgets have one source and the
// enabling step sees the model's selection; the model's own selections come back through the
// controller's mirror, whose signal blocking keeps them from returning as OnPresetSelected.
class PresetView : public PresetUi {
public:
    PresetView(QWidget& window, PanelController& controller, MessageSink& messages, std::filesystem::path file,
               LineWriter trace = {});

    // InitPresetLibrary; returns combo 1064's items for the controller's initialisation.
    std::vector<std::string> initialise();
    // Buttons 1030, 1065 and 1066.
    void command(int id);
    // The user's selection in combo 1064.
    void selected(int index);
    // Right-button press over the enabled button of quick key `key`.
    void replaceQuickKey(int key);
    // Sends `entry` to quick key `key` and shows its name on the key's button at once; the name shown, or nothing
    // when it cannot be stored. The right button and qv7ctl's `key store` both come here.
    std::optional<std::string> storeQuickKey(int key, const PresetEntry& entry);
    // The group's menu: the selected preset to a file, and a file's presets into the library.
    void exportSelected();
    void importFile();

    // Rows combo 1064's list shows at once before it scrolls.
    static constexpr int kPopupRows = 20;

    // While `into` is set, the library's messages and file notices are added to it as qv7ctl's lines instead of
    // showing in the window, and questions are answered no: a command qv7ctl handed over is running.
    void divertMessages(std::string* into) { diverted_ = into; }
    // Takes in para.bin as another program left it, when it changed; the watcher calls it once changes settle.
    void reloadChangedFile();

    // How long the folder must be quiet before para.bin is looked at: a writer's temporary file, its rename
    // and a sync tool's several steps make one reload.
    static constexpr int kSettleMs = 150;

    // Tests answer the dialogs without a modal loop.
    void setDialogRunner(DialogRunner* runner) { dialogs_ = runner ? runner : &modal_; }
    PresetLibrary& library() { return library_; }

    // PresetUi
    void showMessage(const std::string& text, const std::string& caption) override;
    bool ask(const std::string& text, const std::string& caption) override;
    std::optional<std::string> askName() override;
    // A file dialog's chosen path, or nothing when it ended other than with a file.
    std::optional<std::filesystem::path> askFile(bool save);
    void insertItem(int index, const std::string& text) override;
    void removeItem(int index) override;
    void selectItem(int index) override;
    void enableDelete(bool enabled) override;
    std::string itemText(int index) const override;
    void refreshControls(const ParameterSet& setting) override;
    void fileNotice(const PresetFileNotice& notice) override;

private:
    void watchFile();

    QWidget& window_;
    PanelController& controller_;
    MessageSink& messages_;
    ModalDialogRunner modal_;
    DialogRunner* dialogs_ = &modal_;
    std::vector<std::string> items_;  // combo 1064 as the model built it
    QComboBox* combo_ = nullptr;      // the window's combo 1064 (the replacement dialog has one of that name too)
    bool mirroring_ = false;          // the controller holds the list from its initialisation on
    PresetLibrary library_;
    std::string* diverted_ = nullptr;
    // The folder is watched, not only the file: a replacement by rename ends a watch on the file itself.
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

}  // namespace qv7::panel
