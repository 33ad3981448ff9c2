// The controller's update group: button 1074, progress bar 1075 and label 1076 shown from the FirmwareUpdateGroup.
#include "common/gbk_text.h"
#include "panel/control_table.h"
#include "panel/panel_controller.h"

namespace qv7::panel {

void PanelController::showUpdateGroup() {
    setText(kUpdateButtonId, update_.buttonCaption());
    enable(kUpdateButtonId, update_.buttonEnabled());
    set(kUpdateProgressId, update_.progressPosition());
    setText(kUpdatePercentLabelId, update_.label());
}

void PanelController::resetUpdateGroup() {
    update_.reset();
    ++updateOffers_;
    showUpdateGroup();
}

void PanelController::onFirmwareOffer(const FirmwareOffer& offer) {
    entry([&] {
        // A transfer in progress keeps its image; the offer waits for the next conversation's check.
        if (update_.state() == FirmwareUpdateGroup::ButtonState::Writing) return;
        update_.store(offer);
        ++updateOffers_;
        showUpdateGroup();
    });
}

void PanelController::askFirmwareUpdate() {
    if (!update_.buttonEnabled()) return;
    const std::string prompt = update_.UpdatePrompt(gbk::toUtf8Display(driver_.identity().FirmwareVersion));
    // The box is not modal to the event loop: reports and removals go on while the user reads it.
    view_.askQuestion(prompt, kUpdatePromptCaption, [this, offer = updateOffers_](bool ok) {
        entry([&] {
            // Removal or a newer offer since the prompt: the user agreed to something no longer there.
            if (offer != updateOffers_) return;
            // The user has answered already; the button's own checks run again on the group as it is now.
            const auto answered = [ok](const std::string&, const std::string&) { return ok; };
            // The write's clock starts now: from here on it is watched for progress.
            if (update_.OnUpdateButton(driver_, answered, [this] { disableInteractive(); }))
                update_.watchTransfer(driver_, clock_.nowMs());
            showUpdateGroup();
        });
    });
}

}  // namespace qv7::panel
