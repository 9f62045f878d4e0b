#pragma once

#include "common/Direction.h"
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <ctime>

struct TableViewRow;

// One row of the message list: the direction image at the row's origin,
// the name (bold) and the date (blue) on the first line, the start of the
// text on the second. The list paints its rows rather than keeping a
// widget per row, so the cell is the description of those four parts, which
// the list's data source fills for each row in view and hands on as a
// TableViewRow.
class MyTableViewCell {
public:
    static constexpr const char* kReuseIdentifier = "Cell";

    // A one-line text at a frame in the row's points.
    struct Part {
        QRect frame;
        QFont font;
        QColor color;
        QString text;
    };

    MyTableViewCell();

    // Places the four parts with their frames, fonts and colours.
    void prepareCell();
    // Fills the row: flags 2 is a received message, anything else shows as
    // sent. The date is written in the current locale and local time.
    void modCellWithName(const QString& name, std::time_t date, const QString& text, Direction flags);
    // The row as the list paints it: white, the image, then the date, the
    // text and the name, each drawn over the ones before (the name's frame
    // overlaps the date's by 10 points).
    void fillRow(TableViewRow& row) const;

    const QPixmap& image() const { return imgView_; }
    const Part& nameLabel() const { return nameLabel_; }
    const Part& dateLabel() const { return dateLabel_; }
    const Part& textLabel() const { return textLabel_; }

private:
    QPixmap imgView_;
    Part nameLabel_;
    Part dateLabel_;
    Part textLabel_;
    // "Received" or "Sent", for screen readers.
    QString direction_;
};
