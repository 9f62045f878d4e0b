#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/ListTableRow.h"
#include "platform/ui/TableViewCell.h"

#include <QListView>

#include <optional>

class ListTableModel;
class ListTableViewDataSource;
class ListTableViewDelegate;
class QVariantAnimation;

// A plain one-section table for lists of any length (tens of thousands of
// messages): a QListView over a row-count model whose rows are painted from
// descriptions the data source fills for the rows in view. It looks and
// answers like a plain TableView: a tap selects in blue and tells the
// delegate; a sideways drag or a right click on a row (or the red minus in
// editing mode) offers the Delete button, whose tap goes to the data
// source's commitEditingStyle.
class ListTableView : public QListView {
    Q_OBJECT
public:
    explicit ListTableView(QWidget* parent = nullptr);
    ~ListTableView() override;

    // Neither is owned; both must outlive the list or be unset.
    void setDataSource(ListTableViewDataSource* dataSource);
    void setDelegate(ListTableViewDelegate* delegate);
    void setRowHeight(int height);
    int rowHeight() const { return rowHeight_; }

    // Asks the data source for the row count again. A list also loads by
    // itself when it is first shown after its data source or row height
    // changed.
    void reloadData();
    int numberOfRows() const;
    // The data source has removed the rows; the list closes up.
    void deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths, bool animated);

    std::optional<IndexPath> indexPathForSelectedRow() const;
    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);

    void setEditing(bool editing, bool animated);
    bool isEditing() const { return editing_; }
    std::optional<int> deleteConfirmationRow() const { return deleteConfirmation_; }

    // The row's rectangle in the viewport; empty when out of view.
    QRect rectForRowAtIndexPath(const IndexPath& indexPath) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setNeedsReload();
    void paintRow(QPainter& painter, const QRect& rect, int row, bool selected) const;
    void paintStandardTexts(QPainter& painter, const QRect& content, const ListTableRow& description, bool lit) const;
    void paintItems(QPainter& painter, const QRect& content, const ListTableRow& description, bool lit) const;
    TableViewCell::EditingStyle editingStyleFor(int row) const;
    QRect editingControlRect(const QRect& rowRect) const;
    QRect deleteButtonRect(const QRect& rowRect) const;
    void showDeleteConfirmation(std::optional<int> row);
    void tapRow(int row);
    void paintFocusRing(QPainter& painter) const;
    void updateRow(int row);

    ListTableModel* model_;
    ListTableViewDataSource* dataSource_ = nullptr;
    ListTableViewDelegate* delegate_ = nullptr;
    int rowHeight_;
    bool needsReload_ = false;
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
