#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewCell.h"

class ListTableView;

// What a tap on a row of a ListTableView does, and which editing control a
// row shows.
class ListTableViewDelegate {
public:
    virtual ~ListTableViewDelegate() = default;

    virtual void didSelectRowAtIndexPath(ListTableView& list, const IndexPath& indexPath);
    virtual TableViewCell::EditingStyle editingStyleForRowAtIndexPath(ListTableView& list, const IndexPath& indexPath);
};
