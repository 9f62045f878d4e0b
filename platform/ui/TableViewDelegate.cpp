#include "platform/ui/TableViewDelegate.h"

int TableViewDelegate::heightForRowAtIndexPath(TableView&, const IndexPath&) { return kDefaultHeight; }

int TableViewDelegate::heightForHeaderInSection(TableView&, int) { return kDefaultHeight; }

int TableViewDelegate::heightForFooterInSection(TableView&, int) { return kDefaultHeight; }

void TableViewDelegate::didSelectRowAtIndexPath(TableView&, const IndexPath&) {}

TableViewCell::EditingStyle TableViewDelegate::editingStyleForRowAtIndexPath(TableView&, const IndexPath&) {
    return TableViewCell::EditingStyle::Delete;
}
