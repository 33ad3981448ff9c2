// CParaReplace: picks the library preset that a quick key of the device is to hold.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "params/preset_entry.h"
#include "presets/quick_keys.h"

namespace qv7::panel {

class CParaReplace : public QDialog {
public:
    // Copies the library's entries; entry 0 starts chosen.
    explicit CParaReplace(const PresetLibrary& library, QWidget* parent = nullptr);

    const PresetEntry& chosen() const { return choice_.chosen(); }

    QComboBox* list() const { return list_; }
    QPushButton* replaceButton() const { return replace_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    ParaReplaceChoice choice_;
    QComboBox* list_ = nullptr;
    QPushButton* replace_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace qv7::panel
