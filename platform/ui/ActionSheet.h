#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>

class ActionSheetDelegate;
class ActionSheetOverlay;
class QWidget;

// A choice that slides up from the bottom of the screen. Buttons are
// numbered from 0: the destructive button first when there is one, then the
// others in the order given, the cancel button last. showInView() returns at
// once; the tapped button reaches the delegate (and clickedButtonAtIndex())
// later.
//
// Tests set a preset answer: showInView() then answers with it at once,
// without putting anything on the screen.
class ActionSheet : public QObject {
    Q_OBJECT
public:
    ActionSheet(const QString& title, ActionSheetDelegate* delegate, const QString& cancelButtonTitle,
                const QString& destructiveButtonTitle, const QStringList& otherButtonTitles, QObject* parent = nullptr);
    ~ActionSheet() override;

    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    ActionSheetDelegate* delegate() const { return delegate_; }
    void setDelegate(ActionSheetDelegate* delegate) { delegate_ = delegate; }

    int numberOfButtons() const { return int(buttons_.size()); }
    QString buttonTitleAtIndex(int index) const { return buttons_.value(index); }
    // -1 when there is none.
    int cancelButtonIndex() const { return cancelIndex_; }
    int destructiveButtonIndex() const { return destructiveIndex_; }

    // Over the window that holds the view (the current phone window when
    // none is given).
    void showInView(QWidget* view);
    bool isVisible() const;
    void dismissWithClickedButtonIndex(int buttonIndex, bool animated);

    static void setPresetAnswerForTesting(std::optional<int> buttonIndex);
    static QString lastShownTitle();
    static int shownCountForTesting();
    static void resetShownForTesting();

signals:
    void clickedButtonAtIndex(int buttonIndex);

private:
    QString title_;
    ActionSheetDelegate* delegate_;
    QStringList buttons_;
    int cancelIndex_ = -1;
    int destructiveIndex_ = -1;
    int tag_ = 0;
    QPointer<ActionSheetOverlay> overlay_;
};
