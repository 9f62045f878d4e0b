#include "platform/ui/ListTableViewDataSource.h"

bool ListTableViewDataSource::canEditRowAtIndexPath(ListTableView&, const IndexPath&) { return true; }

void ListTableViewDataSource::commitEditingStyle(ListTableView&, TableViewCell::EditingStyle, const IndexPath&) {}
