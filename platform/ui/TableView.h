#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewCell.h"

#include <QBrush>
#include <QMultiHash>
#include <QPointer>
#include <QScrollArea>

#include <map>
#include <optional>
#include <vector>

class TableContentView;
class TableRowList;
class TableViewDataSource;
class TableViewDelegate;

// A phone table: plain (full-width rows with separators, grey section bars)
// or grouped (white rounded groups on the pinstriped background, section
// texts above and below). Rows have a fixed height per table unless the
// delegate says otherwise. Only the rows in view have cells: the data source
// is asked for a cell as a row scrolls in, and cells with a reuse identifier
// are recycled, so long tables stay cheap.
//
// A tap selects the row in blue and tells the delegate. In editing mode rows
// show a red minus (which turns to offer a Delete button) or a green plus;
// outside it, a sideways drag or a right click offers the Delete button.
// Confirmed deletes and inserts go to the data source's commitEditingStyle.
//
// A list of any length (tens of thousands of messages) is shown with
// setDrawsRows: one plain section whose rows have no widgets but are drawn
// from the descriptions the data source fills in describeRowAtIndexPath,
// for the rows in view only, through Qt's model/view machinery, which also
// gives screen readers one list item per row. Taps, swipes, editing and the
// keyboard answer as they do for cells.
class TableView : public QScrollArea {
    Q_OBJECT
public:
    enum class Style { Plain, Grouped };
    enum class ScrollPosition { None, Top, Middle, Bottom };

    explicit TableView(Style style = Style::Plain, QWidget* parent = nullptr);
    ~TableView() override;

    Style tableStyle() const { return style_; }
    // Neither is owned; both must outlive the table or be unset.
    void setDataSource(TableViewDataSource* dataSource);
    void setDelegate(TableViewDelegate* delegate);
    TableViewDataSource* dataSource() const { return dataSource_; }
    TableViewDelegate* delegate() const { return delegate_; }
    // Draws the rows of one plain section instead of showing cells; set once,
    // before the table loads.
    void setDrawsRows(bool draws);
    bool drawsRows() const { return rows_ != nullptr; }
    void setRowHeight(int height);
    int rowHeight() const { return rowHeight_; }
    void setBackgroundBrush(const QBrush& brush);

    // Asks the data source for everything again. Clears the selection. A
    // table also loads by itself when it is first shown after its data
    // source, delegate or row height changed, so a screen can hand itself
    // over before its data exists. The sections and rows are counted at
    // once; the cells are asked for at the next turn of the event loop, or
    // as soon as anybody asks for a cell, so a screen may reload and then
    // change what its rows show within the same turn.
    void reloadData();
    // A cell with this identifier that scrolled out of view, readied for
    // reuse, or none.
    TableViewCell* dequeueReusableCell(const QString& identifier);

    int numberOfSections() const;
    int numberOfRowsInSection(int section) const;
    // The cell showing the row, when the row is in view.
    TableViewCell* cellForRowAtIndexPath(const IndexPath& indexPath) const;
    QList<TableViewCell*> visibleCells() const;
    // The widget the rows are shown in: the scrolled content for cells, the
    // list's viewport for drawn rows. rectForRowAtIndexPath is in its
    // coordinates.
    QWidget* rowArea() const;
    QRect rectForRowAtIndexPath(const IndexPath& indexPath) const;
    QRect rectForHeaderInSection(int section) const;
    QRect rectForFooterInSection(int section) const;
    QString titleForHeaderInSection(int section) const;
    QString titleForFooterInSection(int section) const;

    std::optional<IndexPath> indexPathForSelectedRow() const;
    // The row that offers its Delete button, if any.
    std::optional<IndexPath> indexPathForDeleteConfirmation() const;
    // The row with the keyboard's ring, while the table has the focus.
    std::optional<IndexPath> indexPathForFocusedRow() const;
    // Selects without telling the delegate, as a screen restoring a choice.
    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated, ScrollPosition position);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    void setAllowsSelectionDuringEditing(bool allows) { allowsSelectionDuringEditing_ = allows; }

    void setEditing(bool editing, bool animated);
    bool isEditing() const { return editing_; }
    // The data source has removed the rows; the table shows the rest.
    void deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths, bool animated);
    void scrollToRowAtIndexPath(const IndexPath& indexPath, ScrollPosition position, bool animated);

    TableContentView* contentView() const { return content_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Section {
        QString header;
        QString footer;
        int headerTop = 0;
        int headerHeight = 0;
        // Top of every row, and one more entry for the end of the last row.
        std::vector<int> rowTops;
        int footerHeight = 0;
        int footerTop() const { return rowTops.back(); }
        int bottom() const { return footerTop() + footerHeight; }
    };

    void setNeedsReload();
    // The sections of cells; none while the table draws its rows.
    int laidOutSections() const { return int(sections_.size()); }
    void computeLayout();
    Section layoutSection(int section, int top);
    int defaultHeaderHeight(const QString& title) const;
    int defaultFooterHeight(const QString& title) const;
    int contentHeight() const;
    void layoutVisibleCells();
    // Builds the cells a reload left to build; const for the accessors
    // that must answer with the cells the data source now gives.
    void layoutCellsIfNeeded() const;
    // After a pending reload is done: false when the cell no longer shows a row.
    bool showsARow(TableViewCell* cell);
    std::vector<IndexPath> rowsBetween(int top, int bottom) const;
    TableViewCell* obtainCell(const IndexPath& indexPath);
    void adopt(TableViewCell* cell);
    void configure(TableViewCell* cell, const IndexPath& indexPath);
    void recycle(TableViewCell* cell);
    void recycleVisibleCells();
    CellPainter::Position positionOf(const IndexPath& indexPath) const;
    TableViewCell::EditingStyle editingStyleFor(const IndexPath& indexPath);
    bool selectionAllowed() const;
    void onCellTapped(TableViewCell* cell);
    void onEditingControlClicked(TableViewCell* cell);
    void onDeleteButtonClicked(TableViewCell* cell);
    void onDeleteRequested(TableViewCell* cell);
    void showDeleteConfirmation(std::optional<IndexPath> indexPath);
    void paintContent(QPainter& painter, const QRect& exposed) const;
    void paintGroupedTexts(QPainter& painter, const Section& section) const;
    void paintPlainHeaders(QPainter& painter, const Section& section) const;
    void paintEmptyRowSeparators(QPainter& painter, const QRect& exposed) const;

    Style style_;
    TableContentView* content_;
    TableRowList* rows_ = nullptr;
    TableViewDataSource* dataSource_ = nullptr;
    TableViewDelegate* delegate_ = nullptr;
    int rowHeight_;
    QBrush background_;
    std::vector<Section> sections_;
    std::map<IndexPath, QPointer<TableViewCell>> visible_;
    QMultiHash<QString, QPointer<TableViewCell>> reusePool_;
    std::optional<IndexPath> selected_;
    std::optional<IndexPath> deleteConfirmation_;
    bool needsReload_ = false;
    // The visible cells predate the last reload.
    bool cellsStale_ = false;
    bool editing_ = false;
    bool allowsSelection_ = true;
    bool allowsSelectionDuringEditing_ = false;
};
