#include "platform/ui/NavigationItem.h"

#include "platform/ui/BarButtonItem.h"

NavigationItem::NavigationItem(QObject* parent) : QObject(parent) {}

void NavigationItem::setLeftBarButtonItem(BarButtonItem* item) {
    adopt(item);
    left_ = item;
    emit changed();
}

void NavigationItem::setRightBarButtonItem(BarButtonItem* item) {
    adopt(item);
    right_ = item;
    emit changed();
}

void NavigationItem::setBackButtonTitle(const QString& title) {
    backButtonTitle_ = title;
    emit changed();
}

void NavigationItem::setHidesBackButton(bool hides) {
    hidesBackButton_ = hides;
    emit changed();
}

void NavigationItem::adopt(BarButtonItem* item) {
    if (item && !item->parent()) item->setParent(this);
}
