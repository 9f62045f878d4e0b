#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewRow.h"
#include "platform/ui/TableViewCell.h"

#include <QListView>

#include <optional>

class TableRowModel;
class TableView;
class QVariantAnimation;

// How a TableView shows a list of any length (tens of thousands of
// messages): a QListView over a row-count model whose rows are painted from
// the descriptions the table's data source fills for the rows in view, so
// no row has a widget, and screen readers find a list item per row. It
// looks and answers like the table's cells: a tap selects in blue and tells
// the table's delegate; a sideways drag or a right click on a row (or the
// red minus in editing mode) offers the Delete button, whose tap goes to the
// data source's commitEditingStyle. Only TableView makes one.
class TableRowList : public QListView {
    Q_OBJECT
public:
    TableRowList(TableView& table, QWidget* parent);
    ~TableRowList() override;

    // Asks the table's data source for the row count of its one section again.
    void reloadData();
    int numberOfRows() const;
    // The data source has removed the rows; the list closes up.
    void deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths);

    std::optional<IndexPath> indexPathForSelectedRow() const;
    void selectRowAtIndexPath(const IndexPath& indexPath);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    std::optional<IndexPath> indexPathForFocusedRow() const;
    void scrollToRow(int row, QAbstractItemView::ScrollHint hint);

    void setEditing(bool editing);
    std::optional<int> deleteConfirmationRow() const { return deleteConfirmation_; }

    // The row's rectangle in the viewport; empty when out of view.
    QRect rectForRow(int row) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TableViewRow describe(int row) const;
    void paintRow(QPainter& painter, const QRect& rect, int row, bool selected) const;
    void paintStandardTexts(QPainter& painter, const QRect& content, const TableViewRow& description, bool lit) const;
    void paintItems(QPainter& painter, const QRect& content, const TableViewRow& description, bool lit) const;
    TableViewCell::EditingStyle editingStyleFor(int row) const;
    void commit(TableViewCell::EditingStyle style, int row);
    QRect editingControlRect(const QRect& rowRect) const;
    QRect deleteButtonRect(const QRect& rowRect) const;
    void showDeleteConfirmation(std::optional<int> row);
    void tapRow(int row);
    void paintFocusRing(QPainter& painter) const;
    void updateRow(int row);

    TableView& table_;
    TableRowModel* model_;
    bool editing_ = false;
    std::optional<int> deleteConfirmation_;
    std::optional<int> pressedRow_;
    QPoint pressPosition_;
    bool pressOnDeleteButton_ = false;
    bool pressOnControl_ = false;
    bool tracking_ = false;
    std::optional<int> fadingRow_;
    qreal fadeOpacity_ = 0;
    QVariantAnimation* fade_;
};
