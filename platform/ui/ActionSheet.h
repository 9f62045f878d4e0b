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
                const QString& destructiveButtonTitle, const QStringList& otherButtonTitles,
                QObject* parent = nullptr);
    ~ActionSheet() override;

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    ActionSheetDelegate* delegate() const { return m_delegate; }
    void setDelegate(ActionSheetDelegate* delegate) { m_delegate = delegate; }

    int numberOfButtons() const { return int(m_buttons.size()); }
    QString buttonTitleAtIndex(int index) const { return m_buttons.value(index); }
    // -1 when there is none.
    int cancelButtonIndex() const { return m_cancelIndex; }
    int destructiveButtonIndex() const { return m_destructiveIndex; }

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
    QString m_title;
    ActionSheetDelegate* m_delegate;
    QStringList m_buttons;
    int m_cancelIndex = -1;
    int m_destructiveIndex = -1;
    int m_tag = 0;
    QPointer<ActionSheetOverlay> m_overlay;
};
