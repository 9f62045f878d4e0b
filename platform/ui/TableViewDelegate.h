#pragma once

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewCell.h"

class TableView;

// How a table behaves: measures that differ from its defaults, what a tap
// on a row does, and which editing control a row shows.
class TableViewDelegate {
public:
    // A height below 0 keeps the table's own choice.
    static constexpr int kDefaultHeight = -1;

    virtual ~TableViewDelegate() = default;

    virtual int heightForRowAtIndexPath(TableView& table, const IndexPath& indexPath);
    virtual int heightForHeaderInSection(TableView& table, int section);
    virtual int heightForFooterInSection(TableView& table, int section);
    virtual void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath);
    virtual TableViewCell::EditingStyle editingStyleForRowAtIndexPath(TableView& table, const IndexPath& indexPath);
};
