#include "platform/ui/NavigationItem.h"

#include "platform/ui/BarButtonItem.h"

NavigationItem::NavigationItem(QObject* parent) : QObject(parent) {}

void NavigationItem::setLeftBarButtonItem(BarButtonItem* item) {
    adopt(item);
    m_left = item;
    emit changed();
}

void NavigationItem::setRightBarButtonItem(BarButtonItem* item) {
    adopt(item);
    m_right = item;
    emit changed();
}

void NavigationItem::setBackButtonTitle(const QString& title) {
    m_backButtonTitle = title;
    emit changed();
}

void NavigationItem::setHidesBackButton(bool hides) {
    m_hidesBackButton = hides;
    emit changed();
}

void NavigationItem::adopt(BarButtonItem* item) {
    if (item && !item->parent())
        item->setParent(this);
}
