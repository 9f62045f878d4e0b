#include "platform/ui/AlertView.h"

#include "platform/ui/AlertOverlay.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/ShownForTesting.h"

namespace {

ShownForTesting& shownAlerts() {
    static ShownForTesting record;
    return record;
}

}  // namespace

AlertView::AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
                     const QString& cancelButtonTitle, const QStringList& otherButtonTitles, QObject* parent)
    : QObject(parent), title_(title), message_(message), delegate_(delegate) {
    if (!cancelButtonTitle.isEmpty()) {
        cancelIndex_ = 0;
        buttons_.append(cancelButtonTitle);
    }
    buttons_.append(otherButtonTitles);
}

AlertView::~AlertView() {
    if (overlay_) overlay_->deleteLater();
}

void AlertView::setTitle(const QString& title) {
    title_ = title;
    refreshOverlay();
}

void AlertView::setMessage(const QString& message) {
    message_ = message;
    refreshOverlay();
}

void AlertView::show() {
    if (const std::optional<int> preset = shownAlerts().recordShown(title_, message_)) {
        dismissWithClickedButtonIndex(*preset, false);
        return;
    }
    if (!overlay_) {
        overlay_ = new AlertOverlay(nullptr);
        connect(overlay_, &AlertOverlay::buttonClicked, this,
                [this](int index) { dismissWithClickedButtonIndex(index, true); });
    }
    refreshOverlay();
    overlay_->present();
}

bool AlertView::isVisible() const { return overlay_ && overlay_->isVisible(); }

void AlertView::dismissWithClickedButtonIndex(int buttonIndex, bool) {
    if (overlay_) {
        overlay_->hide();
        overlay_->deleteLater();
        overlay_ = nullptr;
    }
    // A receiver of the signal may destroy the alert; the delegate is only
    // asked while it lives.
    const QPointer<AlertView> self(this);
    emit clickedButtonAtIndex(buttonIndex);
    if (self && delegate_) delegate_->alertViewClickedButtonAtIndex(*this, buttonIndex);
}

void AlertView::refreshOverlay() {
    if (overlay_) overlay_->setContent(title_, message_, buttons_, cancelIndex_);
}

void AlertView::setPresetAnswerForTesting(std::optional<int> buttonIndex) {
    shownAlerts().setPresetAnswer(buttonIndex);
}

QString AlertView::lastShownTitle() { return shownAlerts().lastTitle(); }

QString AlertView::lastShownMessage() { return shownAlerts().lastMessage(); }

int AlertView::shownCountForTesting() { return shownAlerts().shownCount(); }

void AlertView::resetShownForTesting() { shownAlerts().resetShown(); }
