#include "platform/ui/ActionSheet.h"

#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/ActionSheetOverlay.h"
#include "platform/ui/ShownForTesting.h"

namespace {

ShownForTesting& shownSheets() {
    static ShownForTesting record;
    return record;
}

}  // namespace

ActionSheet::ActionSheet(const QString& title, ActionSheetDelegate* delegate, const QString& cancelButtonTitle,
                         const QString& destructiveButtonTitle, const QStringList& otherButtonTitles, QObject* parent)
    : QObject(parent), title_(title), delegate_(delegate) {
    if (!destructiveButtonTitle.isEmpty()) {
        destructiveIndex_ = 0;
        buttons_.append(destructiveButtonTitle);
    }
    buttons_.append(otherButtonTitles);
    if (!cancelButtonTitle.isEmpty()) {
        cancelIndex_ = int(buttons_.size());
        buttons_.append(cancelButtonTitle);
    }
}

ActionSheet::~ActionSheet() {
    if (overlay_) overlay_->deleteLater();
}

void ActionSheet::showInView(QWidget* view) {
    if (const std::optional<int> preset = shownSheets().recordShown(title_)) {
        dismissWithClickedButtonIndex(*preset, false);
        return;
    }
    if (overlay_) return;
    overlay_ = new ActionSheetOverlay(view);
    overlay_->setContent(title_, buttons_, destructiveIndex_, cancelIndex_);
    connect(overlay_, &ActionSheetOverlay::buttonClicked, this,
            [this](int index) { dismissWithClickedButtonIndex(index, true); });
    overlay_->slideIn();
}

bool ActionSheet::isVisible() const { return overlay_ && overlay_->isVisible(); }

void ActionSheet::dismissWithClickedButtonIndex(int buttonIndex, bool animated) {
    if (ActionSheetOverlay* overlay = overlay_.data()) {
        overlay_ = nullptr;
        disconnect(overlay, nullptr, this, nullptr);
        if (animated) {
            overlay->slideOut();
        } else {
            overlay->hide();
            overlay->deleteLater();
        }
    }
    const QPointer<ActionSheet> self(this);
    emit clickedButtonAtIndex(buttonIndex);
    if (self && delegate_) delegate_->actionSheetClickedButtonAtIndex(*this, buttonIndex);
}

void ActionSheet::setPresetAnswerForTesting(std::optional<int> buttonIndex) {
    shownSheets().setPresetAnswer(buttonIndex);
}

QString ActionSheet::lastShownTitle() { return shownSheets().lastTitle(); }

int ActionSheet::shownCountForTesting() { return shownSheets().shownCount(); }

void ActionSheet::resetShownForTesting() { shownSheets().resetShown(); }
