#include "platform/ui/TableViewDelegate.h"

int TableViewDelegate::heightForRowAtIndexPath(TableView&, const IndexPath&) {
    return defaultHeight;
}

int TableViewDelegate::heightForHeaderInSection(TableView&, int) {
    return defaultHeight;
}

int TableViewDelegate::heightForFooterInSection(TableView&, int) {
    return defaultHeight;
}

void TableViewDelegate::didSelectRowAtIndexPath(TableView&, const IndexPath&) {}

TableViewCell::EditingStyle TableViewDelegate::editingStyleForRowAtIndexPath(TableView&, const IndexPath&) {
    return TableViewCell::EditingStyle::Delete;
}
