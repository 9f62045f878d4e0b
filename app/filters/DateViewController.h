#pragma once

#include "app/shell/DateFormatter.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

#include <QDate>

#include <ctime>

class DatePicker;
class MainScreenModel;
class TableView;

// The period screen: a "From" and a "To" row over a date wheel that edits
// the selected row's day. Done hands both days to the main screen's model,
// on which the main screen recounts; Cancel leaves the main screen's period as it was. The period
// starts at 00:00:00 of its first day and ends at 23:59:59 of its last, in
// local time; a start after the end is passed on as it is.
class DateViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    Q_OBJECT

public:
    DateViewController(MainScreenModel* model, const DateFormatter& dateFormatter, QWidget* parent = nullptr);

    // The period being edited; the main screen sets both before every opening.
    std::time_t from() const { return from_; }
    std::time_t to() const { return to_; }
    void setFrom(std::time_t from) { from_ = from; }
    void setTo(std::time_t to) { to_ = to; }

    // Done: the period goes to the main screen, which recounts.
    void save();
    // Cancel: back without a change.
    void cancel();
    // The wheel came to rest on `date`: it becomes the selected row's day.
    void changedDate(const QDate& date);

    TableView* tableView() const { return tableView_; }
    DatePicker* datePicker() const { return datePicker_; }

    int numberOfSectionsInTableView(TableView& table) override;
    int numberOfRowsInSection(TableView& table, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    QString titleForHeaderInSection(TableView& table, int section) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

    void viewWillAppear(bool animated) override;

protected:
    void viewDidLoad() override;

private:
    void modCell(TableViewCell* cell, const QString& header, const QString& content);
    void selectFromRow(bool animated);
    void showDateOfRow(int row, bool animated);

    MainScreenModel* model_;
    DateFormatter dateFormatter_;
    std::time_t from_ = 0;
    std::time_t to_ = 0;
    TableView* tableView_ = nullptr;
    DatePicker* datePicker_ = nullptr;
};
