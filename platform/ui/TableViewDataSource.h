#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewRow.h"

#include <QString>

class TableView;

// What a table shows: its sections, rows and cells, and what a committed
// edit (delete, insert) does. A screen implements the rows it needs.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    virtual int numberOfSectionsInTableView(TableView& table);
    virtual int numberOfRowsInSection(TableView& table, int section) = 0;
    // Called for the rows scrolled into view. Take a recycled cell from
    // table.dequeueReusableCell(identifier) or make one; the table shows it
    // as its child and keeps it until it is destroyed itself. A table that
    // draws its rows (TableView::setDrawsRows) never asks.
    virtual TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath);
    // What a row of a table that draws its rows shows; asked each time the
    // row is painted, for rows in view only.
    virtual void describeRowAtIndexPath(TableView& table, const IndexPath& indexPath, TableViewRow& row);
    virtual QString titleForHeaderInSection(TableView& table, int section);
    virtual QString titleForFooterInSection(TableView& table, int section);
    // Rows that can be deleted or inserted in editing mode or by a swipe.
    virtual bool canEditRowAtIndexPath(TableView& table, const IndexPath& indexPath);
    // The user confirmed a delete or tapped an insert control. The data
    // source changes its data, then tells the table (deleteRowsAtIndexPaths,
    // reloadData).
    virtual void commitEditingStyle(TableView& table, TableViewCell::EditingStyle style, const IndexPath& indexPath);
};
