// Group "常用效果" and the quick keys' replacement on the window, over the toolkit-free preset model.
#include "panel/preset_view.h"

#include <QComboBox>

#include "panel/control_table.h"
#include "panel/message_box.h"
#include "panel/name_input.h"
#include "panel/para_replace.h"
#include "panel/window_texts.h"
#include "presets/quick_keys.h"

namespace qv7::panel {

namespace {
// A long library would otherwise open a list as tall as the screen. Styles whose combo popup is a menu
// (SH_ComboBox_Popup) ignore maxVisibleItems; the style sheet asks for the scrolling list instead.
void limitPopup(QComboBox& combo) {
    combo.setMaxVisibleItems(PresetView::kPopupRows);
    combo.setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
}
}  // namespace

PresetView::PresetView(QWidget& window, PanelController& controller, MessageSink& messages, std::filesystem::path file,
                       LineWriter trace)
    : window_(window), controller_(controller), messages_(messages),
      library_(*this, std::move(file), std::move(trace)) {}

std::vector<std::string> PresetView::initialise() {
    // The controls sit on a scrolling surface, not directly on the window; the replacement dialog's list
    // carries the same name but lives in a window of its own.
    for (auto* combo : window_.findChildren<QComboBox*>(QString::number(kPresetComboId)))
        if (combo->window() == &window_) combo_ = combo;
    if (combo_) limitPopup(*combo_);
    mirroring_ = false;
    library_.InitPresetLibrary();
    mirroring_ = true;
    return items_;
}

void PresetView::command(int id) {
    switch (id) {
    case kSavePresetButtonId:
        library_.SavePresetAs(controller_.controlSetting());
        break;
    case kDeletePresetButtonId:
        library_.DeletePreset();
        break;
    case kApplyPresetButtonId:
        controller_.ApplyPreset(library_);
        break;
    default:
        break;
    }
}

void PresetView::selected(int index) { library_.OnPresetSelected(index); }

void PresetView::replaceQuickKey(int key) {
    CParaReplace dialog(library_, &window_);
    if (dialogs_->run(dialog) != QDialog::Accepted) return;
    if (auto caption = ReplaceQuickKey(controller_.driver(), dialog.chosen(), key))
        controller_.setQuickKeyCaption(key, std::move(*caption));
}

void PresetView::showMessage(const std::string& text, const std::string& caption) {
    messages_.showMessage(text, caption);
}

bool PresetView::ask(const std::string& text, const std::string& caption) {
    PanelMessageBox box(QMessageBox::Question, messageText(caption), messageText(text),
                        QMessageBox::Ok | QMessageBox::Cancel, &window_);
    dialogs_->run(box);
    // The clicked button, not the result code: Escape and the close box also end the box.
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

std::optional<std::string> PresetView::askName() {
    NameInput dialog(&window_);
    if (dialogs_->run(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.name();
}

void PresetView::insertItem(int index, const std::string& text) {
    if (index < 0 || index > static_cast<int>(items_.size())) return;
    items_.insert(items_.begin() + index, text);
    if (mirroring_) controller_.setPresetItems(items_);
}

void PresetView::removeItem(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    items_.erase(items_.begin() + index);
    if (mirroring_) controller_.setPresetItems(items_);
}

void PresetView::selectItem(int index) {
    if (mirroring_) controller_.selectPresetItem(index);
}

void PresetView::enableDelete(bool enabled) {
    if (mirroring_) controller_.enablePresetDelete(enabled);
}

std::string PresetView::itemText(int index) const {
    // What the combo box shows, as the user saw it when choosing.
    if (combo_) return index >= 0 && index < combo_->count() ? combo_->itemText(index).toStdString() : std::string();
    return index >= 0 && index < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(index)]
                                                                 : std::string();
}

void PresetView::refreshControls(const ParameterSet& setting) {
    (void)setting;  // the controller's deviceSetting, which the library has just written
    controller_.SettingToControl();
}

}  // namespace qv7::panel
