#include "platform/ui/TableViewDataSource.h"

int TableViewDataSource::numberOfSectionsInTableView(TableView&) { return 1; }

TableViewCell* TableViewDataSource::cellForRowAtIndexPath(TableView&, const IndexPath&) { return nullptr; }

void TableViewDataSource::describeRowAtIndexPath(TableView&, const IndexPath&, TableViewRow&) {}

QString TableViewDataSource::titleForHeaderInSection(TableView&, int) { return {}; }

QString TableViewDataSource::titleForFooterInSection(TableView&, int) { return {}; }

bool TableViewDataSource::canEditRowAtIndexPath(TableView&, const IndexPath&) { return true; }

void TableViewDataSource::commitEditingStyle(TableView&, TableViewCell::EditingStyle, const IndexPath&) {}
