// The window's side of the online update: the two checks' workers, the OK/Cancel box and the browser.
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "panel/main_window.h"
#include "panel/message_box.h"
#include "panel/window_texts.h"

namespace qv7::panel {

void CBrontalDlg::startFirmwareCheck() {
    // Copies: the worker must not read the driver, which the window thread keeps changing.
    const DeviceIdentity& id = controller_.driver().identity();
    firmwareCheck_.start(id.HardwareVersion, id.FirmwareVersion);
}

void CBrontalDlg::cancelFirmwareCheck() { firmwareCheck_.cancel(); }

void CBrontalDlg::askQuestion(const std::string& text, const std::string& caption, std::function<void(bool)> answer) {
    // open(), not exec(): no nested event loop, so reports and removals are handled while the box waits.
    auto* box = new PanelMessageBox(QMessageBox::NoIcon, messageText(caption), messageText(text),
                                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [box, answer = std::move(answer)] {
        // The clicked button, not the result code: Escape and the close box end the box as Cancel.
        answer(box->clickedButton() == box->button(QMessageBox::Ok));
    });
    box->open();
}

void CBrontalDlg::openUrl(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

}  // namespace qv7::panel
