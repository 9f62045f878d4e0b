#include "app/list/MyTableViewCell.h"

#include "app/list/DirectionImage.h"
#include "app/list/MessageDateFormatter.h"
#include "common/Sms.h"
#include "platform/ui/TableViewRow.h"
#include "platform/ui/Theme.h"

#include <QCoreApplication>

MyTableViewCell::MyTableViewCell() { prepareCell(); }

void MyTableViewCell::prepareCell() {
    imgView_ = DirectionImage::incoming();
    nameLabel_ = {QRect(30, 2, 150, 15), Theme::boldSystemFont(12), Theme::textColor(), QString()};
    dateLabel_ = {QRect(170, 2, 150, 15), Theme::fontNamed(QStringLiteral("Arial"), 12), Theme::linkBlue(), QString()};
    textLabel_ = {QRect(30, 16, 280, 15), Theme::fontNamed(QStringLiteral("Arial"), 12), Theme::textColor(), QString()};
}

void MyTableViewCell::modCellWithName(const QString& name, std::time_t date, const QString& text, Direction flags) {
    nameLabel_.text = name;
    textLabel_.text = text;
    imgView_ = flags == Sms::kReceived ? DirectionImage::incoming() : DirectionImage::outgoing();
    dateLabel_.text = MessageDateFormatter().stringFromDate(date);
    // The arrow picture tells the direction; a screen reader says it.
    direction_ = flags == Sms::kReceived ? QCoreApplication::translate("MyTableViewCell", "Received")
                                         : QCoreApplication::translate("MyTableViewCell", "Sent");
}

void MyTableViewCell::fillRow(TableViewRow& row) const {
    row.backgroundColor = Theme::cellBackground();
    row.addImage(QPoint(0, 0), imgView_);
    for (const Part* part : {&dateLabel_, &textLabel_, &nameLabel_})
        row.addLabel(part->frame, part->text, part->font, part->color);
    row.accessibleText =
        QStringList{direction_, nameLabel_.text, dateLabel_.text, textLabel_.text}.join(QStringLiteral(", "));
}
