#pragma once

#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"

class TableView;

// The about screen: the app and its version, the credits, and the ways to
// reach the makers (a feedback mail and the web site).
class AboutViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    Q_OBJECT

public:
    static constexpr const char* kFeedbackAddress = "feedback@brindlex.org";
    static constexpr const char* kWebSite = "https://www.brindlex.org/";

    explicit AboutViewController(QWidget* parent = nullptr);

    int numberOfSectionsInTableView(TableView& table) override;
    int numberOfRowsInSection(TableView& table, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    QString titleForHeaderInSection(TableView& table, int section) override;
    QString titleForFooterInSection(TableView& table, int section) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

    TableView* tableView() const { return table_; }
    static QString versionText();

protected:
    void viewDidLoad() override;

private:
    TableView* table_ = nullptr;
};
