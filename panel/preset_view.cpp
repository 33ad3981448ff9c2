// Group "常用效果" and the quick keys' replacement on the window, over the toolkit-free preset model.
#include "panel/preset_view.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <span>

#include "common/atomic_file.h"
#include "common/output_file.h"
#include "panel/control_table.h"
#include "panel/message_box.h"
#include "panel/name_input.h"
#include "panel/para_replace.h"
#include "panel/window_texts.h"
#include "presets/preset_commands.h"
#include "presets/preset_exchange.h"
#include "presets/quick_keys.h"

namespace qv7::panel {

namespace {
// A long library would otherwise open a list as tall as the screen. Styles whose combo popup is a menu
// (SH_ComboBox_Popup) ignore maxVisibleItems; the style sheet asks for the scrolling list instead.
void limitPopup(QComboBox& combo) {
    combo.setMaxVisibleItems(PresetView::kPopupRows);
    combo.setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
}

// Where people keep their files. The working folder of a panel started from the menu or at login is nobody's
// choice; without a documents folder the home folder is the next best.
QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
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
    watchFile();
    return items_;
}

void PresetView::watchFile() {
    if (settle_.isSingleShot()) return;  // watching already
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    QObject::connect(&settle_, &QTimer::timeout, &window_, [this] { reloadChangedFile(); });
    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, &window_, [this] { settle_.start(); });
    QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, &window_, [this] { settle_.start(); });
    const QString file = QString::fromStdString(library_.file().string());
    const QString folder = QString::fromStdString(library_.file().parent_path().string());
    // A folder that cannot be watched (gone, or out of inotify watches) still gets the look before every write.
    if (!watcher_.addPath(folder))
        std::fprintf(stderr, "qv7-panel: cannot watch %s for changes to the presets\n",
                     folder.toLocal8Bit().constData());
    if (QFileInfo::exists(file)) watcher_.addPath(file);
}

void PresetView::reloadChangedFile() {
    const QString file = QString::fromStdString(library_.file().string());
    if (QFileInfo::exists(file) && !watcher_.files().contains(file)) watcher_.addPath(file);
    if (!library_.reloadIfChanged()) return;
    std::fprintf(stderr, "qv7-panel: %s changed on disk; the presets were reloaded (%d user presets)\n",
                 file.toLocal8Bit().constData(), library_.count() - static_cast<int>(FIRST_USER_INDEX));
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
    storeQuickKey(key, dialog.chosen());
}

std::optional<std::string> PresetView::storeQuickKey(int key, const PresetEntry& entry) {
    auto caption = ReplaceQuickKey(controller_.driver(), entry, key);
    if (caption) controller_.setQuickKeyCaption(key, *caption);
    return caption;
}

void PresetView::exportSelected() {
    const int i = library_.selection();
    if (i < 0 || i >= library_.count()) return;
    const auto file = askFile(true);
    if (!file) return;
    // Only a regular file (or none yet) is written, and a link to one stays a link. A pipe or a device picked in the
    // dialog would either be replaced by a plain file or hold the window until someone reads it.
    const auto target = regularFileTarget(*file);
    if (!target) {
        showMessage("无法导出：" + file->string() + " 不是普通文件", std::string(preset_text::kCaptionError));
        return;
    }
    const PresetEntry one[] = {library_.entry(i)};
    const std::string text = presetDocument(one);
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!writeFileAtomically(*target, bytes)) {
        showMessage(std::string(preset_text::kWriteFailed), std::string(preset_text::kCaptionError));
        return;
    }
    showMessage("已导出 1 个效果（" + one[0].displayName() + "）到 " + file->string(),
                std::string(preset_text::kCaptionNotice));
}

void PresetView::importFile() {
    const auto file = askFile(false);
    if (!file) return;
    PresetExchangeError error;
    const std::string text = readPresetDocument(*file, error);
    if (!error.chinese.empty()) {
        showMessage(error.chinese, std::string(preset_text::kCaptionRefused));
        return;
    }
    PresetImport r = importPresetDocument(library_, text, false);
    if (r.clash) {
        const auto parsed = parsePresetDocument(text);
        std::string names;
        for (const auto& e : parsed.entries)
            for (const auto& have : library_.entries().subspan(FIRST_USER_INDEX))
                if (have.nameBytes() == e.nameBytes()) {
                    names += (names.empty() ? "" : "、") + e.displayName();
                    break;
                }
        if (!ask(std::string(kReplaceQuestion) + names + std::string(kReplaceQuestionEnd),
                 std::string(preset_text::kCaptionNotice)))
            return;
        r = importPresetDocument(library_, text, true);
    }
    // A failed write has had the library's own message already.
    if (!r.ok && !r.writeFailed) showMessage(r.error.chinese, std::string(preset_text::kCaptionRefused));
    if (r.ok)
        showMessage("已从 " + file->string() + " 导入 " + std::to_string(r.added + r.replaced) + " 个效果：新增 " +
                        std::to_string(r.added) + " 个，替换 " + std::to_string(r.replaced) + " 个",
                    std::string(preset_text::kCaptionNotice));
}

std::optional<std::filesystem::path> PresetView::askFile(bool save) {
    QFileDialog dialog(&window_, windowText(save ? kExportPresetMenuText : kImportPresetMenuText));
    // Qt's own dialog: the same on every desktop, and one the dialog runner can answer.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(windowText(kPresetFileFilter));
    dialog.setDirectory(documentsFolder());
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("json"));
        const int i = library_.selection();
        if (i >= 0 && i < library_.count())
            dialog.selectFile(QString::fromStdString(library_.entry(i).displayName()) + QStringLiteral(".json"));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialogs_->run(dialog) != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return std::filesystem::path(chosen.front().toStdString());
}

void PresetView::showMessage(const std::string& text, const std::string& caption) {
    if (diverted_) {
        *diverted_ += presetMessageLine(text, caption);
        return;
    }
    messages_.showMessage(text, caption);
}

void PresetView::fileNotice(const PresetFileNotice& notice) {
    if (diverted_) {
        *diverted_ += "qv7ctl: " + notice.english + "\n";
        return;
    }
    PresetUi::fileNotice(notice);
}

bool PresetView::ask(const std::string& text, const std::string& caption) {
    if (diverted_) return false;
    PanelMessageBox box(QMessageBox::Question, messageText(caption), messageText(text),
                        QMessageBox::Ok | QMessageBox::Cancel, &window_);
    dialogs_->run(box);
    // The clicked button, not the result code: Escape and the close box also end the box.
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

std::optional<std::string> PresetView::askName() {
    if (diverted_) return std::nullopt;
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
