#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/ListTableRow.h"
#include "platform/ui/TableViewCell.h"

class ListTableView;

// The rows of a ListTableView: one section of any length, each row described
// when it is painted.
class ListTableViewDataSource {
public:
    virtual ~ListTableViewDataSource() = default;

    virtual int numberOfRows(ListTableView& list) = 0;
    // Fills the description of a row; called for rows in view only.
    virtual void configureRow(ListTableView& list, int row, ListTableRow& content) = 0;
    virtual bool canEditRowAtIndexPath(ListTableView& list, const IndexPath& indexPath);
    // The user confirmed a delete or tapped an insert control. The data
    // source changes its data, then tells the list (deleteRowsAtIndexPaths).
    virtual void commitEditingStyle(ListTableView& list, TableViewCell::EditingStyle style, const IndexPath& indexPath);
};
