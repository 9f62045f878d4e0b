#include "platform/ui/ListTableViewDelegate.h"

void ListTableViewDelegate::didSelectRowAtIndexPath(ListTableView&, const IndexPath&) {}

TableViewCell::EditingStyle ListTableViewDelegate::editingStyleForRowAtIndexPath(ListTableView&, const IndexPath&) {
    return TableViewCell::EditingStyle::Delete;
}
