// How the window runs its modal dialogs: exec() in the program, answered in place by tests.
#pragma once

#include <QDialog>

namespace qv7::panel {

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Runs `dialog` until it ends and returns its result code.
    virtual int run(QDialog& dialog) = 0;
};

class ModalDialogRunner : public DialogRunner {
public:
    int run(QDialog& dialog) override { return dialog.exec(); }
};

}  // namespace qv7::panel
