#include "platform/ui/ActionSheet.h"

#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/ActionSheetOverlay.h"

namespace {

struct TestRecord {
    std::optional<int> presetAnswer;
    QString lastTitle;
    int shown = 0;
};

TestRecord& testRecord() {
    static TestRecord record;
    return record;
}

}  // namespace

ActionSheet::ActionSheet(const QString& title, ActionSheetDelegate* delegate, const QString& cancelButtonTitle,
                         const QString& destructiveButtonTitle, const QStringList& otherButtonTitles,
                         QObject* parent)
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
    if (overlay_)
        overlay_->deleteLater();
}

void ActionSheet::showInView(QWidget* view) {
    TestRecord& record = testRecord();
    record.lastTitle = title_;
    ++record.shown;
    if (record.presetAnswer) {
        dismissWithClickedButtonIndex(*record.presetAnswer, false);
        return;
    }
    if (overlay_)
        return;
    overlay_ = new ActionSheetOverlay(view);
    overlay_->setContent(title_, buttons_, destructiveIndex_, cancelIndex_);
    connect(overlay_, &ActionSheetOverlay::buttonClicked, this,
            [this](int index) { dismissWithClickedButtonIndex(index, true); });
    overlay_->slideIn();
}

bool ActionSheet::isVisible() const {
    return overlay_ && overlay_->isVisible();
}

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
    if (self && delegate_)
        delegate_->actionSheetClickedButtonAtIndex(*this, buttonIndex);
}

void ActionSheet::setPresetAnswerForTesting(std::optional<int> buttonIndex) {
    testRecord().presetAnswer = buttonIndex;
}

QString ActionSheet::lastShownTitle() {
    return testRecord().lastTitle;
}

int ActionSheet::shownCountForTesting() {
    return testRecord().shown;
}

void ActionSheet::resetShownForTesting() {
    testRecord() = TestRecord{testRecord().presetAnswer, QString(), 0};
}
