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

} // namespace

ActionSheet::ActionSheet(const QString& title, ActionSheetDelegate* delegate, const QString& cancelButtonTitle,
                         const QString& destructiveButtonTitle, const QStringList& otherButtonTitles,
                         QObject* parent)
    : QObject(parent), m_title(title), m_delegate(delegate) {
    if (!destructiveButtonTitle.isEmpty()) {
        m_destructiveIndex = 0;
        m_buttons.append(destructiveButtonTitle);
    }
    m_buttons.append(otherButtonTitles);
    if (!cancelButtonTitle.isEmpty()) {
        m_cancelIndex = int(m_buttons.size());
        m_buttons.append(cancelButtonTitle);
    }
}

ActionSheet::~ActionSheet() {
    if (m_overlay)
        m_overlay->deleteLater();
}

void ActionSheet::showInView(QWidget* view) {
    TestRecord& record = testRecord();
    record.lastTitle = m_title;
    ++record.shown;
    if (record.presetAnswer) {
        dismissWithClickedButtonIndex(*record.presetAnswer, false);
        return;
    }
    if (m_overlay)
        return;
    m_overlay = new ActionSheetOverlay(view);
    m_overlay->setContent(m_title, m_buttons, m_destructiveIndex, m_cancelIndex);
    connect(m_overlay, &ActionSheetOverlay::buttonClicked, this,
            [this](int index) { dismissWithClickedButtonIndex(index, true); });
    m_overlay->slideIn();
}

bool ActionSheet::isVisible() const {
    return m_overlay && m_overlay->isVisible();
}

void ActionSheet::dismissWithClickedButtonIndex(int buttonIndex, bool animated) {
    if (ActionSheetOverlay* overlay = m_overlay.data()) {
        m_overlay = nullptr;
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
    if (self && m_delegate)
        m_delegate->actionSheetClickedButtonAtIndex(*this, buttonIndex);
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
