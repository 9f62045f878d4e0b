#include "platform/ui/AlertView.h"

#include "platform/ui/AlertOverlay.h"
#include "platform/ui/AlertViewDelegate.h"

namespace {

struct TestRecord {
    std::optional<int> presetAnswer;
    QString lastTitle;
    QString lastMessage;
    int shown = 0;
};

TestRecord& testRecord() {
    static TestRecord record;
    return record;
}

} // namespace

AlertView::AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
                     const QString& cancelButtonTitle, const QStringList& otherButtonTitles, QObject* parent)
    : QObject(parent), m_title(title), m_message(message), m_delegate(delegate) {
    if (!cancelButtonTitle.isEmpty()) {
        m_cancelIndex = 0;
        m_buttons.append(cancelButtonTitle);
    }
    m_buttons.append(otherButtonTitles);
}

AlertView::~AlertView() {
    if (m_overlay)
        m_overlay->deleteLater();
}

void AlertView::setTitle(const QString& title) {
    m_title = title;
    refreshOverlay();
}

void AlertView::setMessage(const QString& message) {
    m_message = message;
    refreshOverlay();
}

int AlertView::addButtonWithTitle(const QString& title) {
    m_buttons.append(title);
    refreshOverlay();
    return int(m_buttons.size()) - 1;
}

void AlertView::show() {
    TestRecord& record = testRecord();
    record.lastTitle = m_title;
    record.lastMessage = m_message;
    ++record.shown;
    if (record.presetAnswer) {
        dismissWithClickedButtonIndex(*record.presetAnswer, false);
        return;
    }
    if (!m_overlay) {
        m_overlay = new AlertOverlay(nullptr);
        connect(m_overlay, &AlertOverlay::buttonClicked, this,
                [this](int index) { dismissWithClickedButtonIndex(index, true); });
    }
    refreshOverlay();
    m_overlay->present();
}

bool AlertView::isVisible() const {
    return m_overlay && m_overlay->isVisible();
}

void AlertView::dismissWithClickedButtonIndex(int buttonIndex, bool) {
    if (m_overlay) {
        m_overlay->hide();
        m_overlay->deleteLater();
        m_overlay = nullptr;
    }
    // A receiver of the signal may destroy the alert; the delegate is only
    // asked while it lives.
    const QPointer<AlertView> self(this);
    emit clickedButtonAtIndex(buttonIndex);
    if (self && m_delegate)
        m_delegate->alertViewClickedButtonAtIndex(*this, buttonIndex);
}

void AlertView::refreshOverlay() {
    if (m_overlay)
        m_overlay->setContent(m_title, m_message, m_buttons, m_cancelIndex);
}

void AlertView::setPresetAnswerForTesting(std::optional<int> buttonIndex) {
    testRecord().presetAnswer = buttonIndex;
}

QString AlertView::lastShownTitle() {
    return testRecord().lastTitle;
}

QString AlertView::lastShownMessage() {
    return testRecord().lastMessage;
}

int AlertView::shownCountForTesting() {
    return testRecord().shown;
}

void AlertView::resetShownForTesting() {
    testRecord() = TestRecord{testRecord().presetAnswer, QString(), QString(), 0};
}
