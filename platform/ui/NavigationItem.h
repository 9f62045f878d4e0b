#pragma once

#include "platform/ui/BarButtonItem.h"

#include <QObject>
#include <QPointer>
#include <QString>

// What a screen shows in the navigation bar while it is on top: its bar
// buttons, and the title the back button of the next screen carries. The
// bar follows every change at once (an Edit button turning into Done).
class NavigationItem : public QObject {
    Q_OBJECT
public:
    explicit NavigationItem(QObject* parent = nullptr);

    // An item without a parent is adopted; the previous item stays alive for
    // its owner to reuse.
    void setLeftBarButtonItem(BarButtonItem* item);
    BarButtonItem* leftBarButtonItem() const { return m_left; }
    void setRightBarButtonItem(BarButtonItem* item);
    BarButtonItem* rightBarButtonItem() const { return m_right; }

    // The title of the back button that leads back to this screen; empty: the
    // screen's own title.
    void setBackButtonTitle(const QString& title);
    QString backButtonTitle() const { return m_backButtonTitle; }
    void setHidesBackButton(bool hides);
    bool hidesBackButton() const { return m_hidesBackButton; }

signals:
    void changed();

private:
    void adopt(BarButtonItem* item);

    QPointer<BarButtonItem> m_left;
    QPointer<BarButtonItem> m_right;
    QString m_backButtonTitle;
    bool m_hidesBackButton = false;
};
