#pragma once

#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

class MainScreenModel;
class TableView;

// The person screen: "All" and then every person of the main screen's
// person list, read from the model whenever a row is drawn. Choosing a row
// sets the model's person filter (the main screen recounts) and returns at
// once; the back button keeps the previous choice.
class PersonSelectViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    Q_OBJECT

public:
    explicit PersonSelectViewController(MainScreenModel* model, QWidget* parent = nullptr);

    TableView* tableView() const { return tableView_; }

    int numberOfRowsInSection(TableView& table, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

    void viewWillAppear(bool animated) override;

protected:
    void viewDidLoad() override;

private:
    MainScreenModel* model_;
    TableView* tableView_ = nullptr;
};
