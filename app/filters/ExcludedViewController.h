#pragma once

#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

class BarButtonItem;
class ExcludedPersonSelectViewController;
class Person;
class MainScreenModel;
class TableView;

// The exclusions screen: the contacts and numbers left out of every count,
// read from and changed in the main screen's model. In edit
// mode each entry offers delete and a last row "Add a excluded number"
// offers insert; tapping an entry or that row opens the second screen to
// replace or add one. Nothing is written here: the main screen saves the
// list with its other settings, and recounts on every change.
class ExcludedViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    Q_OBJECT

public:
    explicit ExcludedViewController(MainScreenModel* model, QWidget* parent = nullptr);

    void enterEditAction();
    void leaveEditAction();
    // Opens the second screen for a new entry, appended to the list.
    void addNumber();
    // Opens the second screen to replace the entry at `index`.
    void editNumber(const Person& entry, int index);
    void deselect();

    TableView* tableView() const { return tableView_; }
    ExcludedPersonSelectViewController* epsvController() const { return epsvController_; }

    int numberOfRowsInSection(TableView& table, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    QString titleForHeaderInSection(TableView& table, int section) override;
    void commitEditingStyle(TableView& table, TableViewCell::EditingStyle style, const IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    TableViewCell::EditingStyle editingStyleForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

    void viewWillAppear(bool animated) override;

protected:
    void viewDidLoad() override;

private:
    int entryCount() const;
    void openEntryScreen(int editIndex, const QString& number);

    MainScreenModel* model_;
    TableView* tableView_ = nullptr;
    BarButtonItem* editItem_ = nullptr;
    BarButtonItem* doneItem_ = nullptr;
    ExcludedPersonSelectViewController* epsvController_ = nullptr;
};
