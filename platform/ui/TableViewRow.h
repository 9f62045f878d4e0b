#pragma once

#include "platform/ui/TableViewCell.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

// What one row of a TableView that draws its rows shows, filled by its
// data source each time the row is painted: the standard texts of a table cell, and any
// labels and images placed by frames in the row's points (painted in the
// order added, later ones on top). Nothing here is a widget, so a list of
// any length costs only the rows in view.
struct TableViewRow {
    struct Item {
        QRect frame;
        QString text;
        QPixmap pixmap;
        QFont font;
        QColor color;
        QColor highlightedColor;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };

    TableViewCell::Style style = TableViewCell::Style::Default;
    QString text;
    QString detailText;
    QPixmap image;
    TableViewCell::Accessory accessory = TableViewCell::Accessory::None;
    TableViewCell::SelectionStyle selectionStyle = TableViewCell::SelectionStyle::Blue;
    QColor backgroundColor = Qt::white;
    std::vector<Item> items;
    // What a screen reader says for the row; when empty, the texts shown.
    QString accessibleText;

    // A one-line label, cut with an ellipsis, white while the row is lit.
    void addLabel(const QRect& frame, const QString& label, const QFont& font, const QColor& color = Qt::black,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
        items.push_back({frame, label, QPixmap(), font, color, Qt::white, alignment});
    }
    // What a screen reader says for the row: the accessible text, else the
    // texts shown, in the order added.
    QString spokenText() const {
        if (!accessibleText.isEmpty()) return accessibleText;
        QStringList texts;
        for (const QString& shown : {text, detailText})
            if (!shown.isEmpty()) texts << shown;
        for (const Item& item : items)
            if (!item.text.isEmpty()) texts << item.text;
        return texts.join(QStringLiteral(", "));
    }
    // An image at its own size.
    void addImage(const QPoint& origin, const QPixmap& image) {
        items.push_back({QRect(origin, image.deviceIndependentSize().toSize()), QString(), image, QFont(), QColor(),
                         QColor(), Qt::AlignLeft});
    }
};
