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
    BarButtonItem* leftBarButtonItem() const { return left_; }
    void setRightBarButtonItem(BarButtonItem* item);
    BarButtonItem* rightBarButtonItem() const { return right_; }

    // The title of the back button that leads back to this screen; empty: the
    // screen's own title.
    void setBackButtonTitle(const QString& title);
    QString backButtonTitle() const { return backButtonTitle_; }
    void setHidesBackButton(bool hides);
    bool hidesBackButton() const { return hidesBackButton_; }

signals:
    void changed();

private:
    void adopt(BarButtonItem* item);

    QPointer<BarButtonItem> left_;
    QPointer<BarButtonItem> right_;
    QString backButtonTitle_;
    bool hidesBackButton_ = false;
};
