#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>

class AlertOverlay;
class AlertViewDelegate;

// An alert box: a title, a message and buttons numbered from 0 in the order
// given, the cancel button first when there is one. show() puts it over the
// phone window and returns at once; the tapped button reaches the delegate
// (and clickedButtonAtIndex()) later, and the box goes away. The object can
// be shown again and again; showing it while it is up refreshes its texts.
//
// Tests set a preset answer: show() then answers with it at once, without
// putting anything on the screen. The texts of every alert shown are kept
// for tests to read back.
class AlertView : public QObject {
    Q_OBJECT
public:
    AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
              const QString& cancelButtonTitle, const QStringList& otherButtonTitles, QObject* parent = nullptr);
    ~AlertView() override;

    QString title() const { return title_; }
    void setTitle(const QString& title);
    QString message() const { return message_; }
    void setMessage(const QString& message);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    AlertViewDelegate* delegate() const { return delegate_; }
    void setDelegate(AlertViewDelegate* delegate) { delegate_ = delegate; }

    int numberOfButtons() const { return int(buttons_.size()); }
    QString buttonTitleAtIndex(int index) const { return buttons_.value(index); }
    // -1 when there is no cancel button.
    int cancelButtonIndex() const { return cancelIndex_; }

    void show();
    bool isVisible() const;
    // Takes the box down as if the button had been tapped.
    void dismissWithClickedButtonIndex(int buttonIndex, bool animated);

    static void setPresetAnswerForTesting(std::optional<int> buttonIndex);
    static QString lastShownTitle();
    static QString lastShownMessage();
    // How many alerts were shown since the last reset.
    static int shownCountForTesting();
    static void resetShownForTesting();

signals:
    void clickedButtonAtIndex(int buttonIndex);

private:
    void refreshOverlay();

    QString title_;
    QString message_;
    AlertViewDelegate* delegate_;
    QStringList buttons_;
    int cancelIndex_ = -1;
    int tag_ = 0;
    QPointer<AlertOverlay> overlay_;
};
