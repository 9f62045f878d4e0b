#pragma once

#include "common/Person.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

#include <vector>

class EditableDetailCell;
class MainScreenModel;
class TableView;

// Adds or replaces one exclusion: a number or star pattern typed into the
// entry row (Done takes it), or a contact picked from the address book's
// list below. editIndex below 0 appends to the model's exclusion list, otherwise the entry at that index is replaced in
// place. Either way the screen then goes back; the back button leaves the list as it was.
class ExcludedPersonSelectViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    Q_OBJECT

public:
    explicit ExcludedPersonSelectViewController(MainScreenModel* model, QWidget* parent = nullptr);

    void setNum(const QString& number);
    int editIndex() const { return editIndex_; }
    void setEditIndex(int index) { editIndex_ = index; }
    // Loads every contact with a first or last name, in the address book's
    // order (last name first).
    void getPersonArray();
    const std::vector<Person>& personArray() const { return personArray_; }
    // The entry row's return key: Done takes a non-empty text as a number
    // entry.
    bool textFieldShouldReturn();

    TableView* tableView() const { return tableView_; }
    EditableDetailCell* numCell() const { return numCell_; }

    int numberOfSectionsInTableView(TableView& table) override;
    int numberOfRowsInSection(TableView& table, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    QString titleForHeaderInSection(TableView& table, int section) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

protected:
    void viewDidLoad() override;

private:
    void store(Person entry);

    MainScreenModel* model_;
    int editIndex_ = -1;
    std::vector<Person> personArray_;
    TableView* tableView_ = nullptr;
    EditableDetailCell* numCell_ = nullptr;
};
