#pragma once

#include "common/MessageType.h"
#include "app/list/MailComposerDelegate.h"
#include "app/list/MyTableViewCell.h"
#include "common/Sms.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

#include <QPointer>

#include <cstddef>
#include <optional>
#include <vector>

class AlertView;
class BarButtonItem;
class TableView;
class MailComposer;
class MessageStore;

// The message list: every message behind the main screen's total, newest
// at the top, one row each with direction, name, date and the start of the
// text. A tap shows the whole text; a swipe offers Delete, which after a
// confirmation removes the message from the counter database and from the
// list. "Email Data" exports the list as CSV (exportData).
//
// The list owns its records, oldest first (it shows them reversed): the
// main screen hands it the records of every new count and the store that
// deletes, and a delete here removes the record from the store and the
// list; the main screen's next count sees the database without it.
class RecordViewController : public ViewController,
                             public TableViewDataSource,
                             public TableViewDelegate,
                             public AlertViewDelegate,
                             public MailComposerDelegate {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 35;

    // The controller over `data` (oldest first), deleting through `store`
    // (which outlives it), owned by `parent`.
    static RecordViewController* initWithArrayData(std::vector<Sms> data, MessageStore& store, QWidget* parent);
    // The screen title for the main screen's message type: 1 received,
    // 2 sent, anything else both.
    static QString titleForMessageType(MessageType messageType);
    ~RecordViewController() override;

    // Replaces the records (oldest first) and redraws an open list.
    void setData(std::vector<Sms> data);
    const std::vector<Sms>& data() const { return data_; }
    void setTitle1(const QString& title);

    // Writes Documents/data.csv and hands a mail with it to the mail program.
    void exportData();

    std::optional<IndexPath> currentDeleteIndex() const { return currentDeleteIndex_; }
    void setCurrentDeleteIndex(std::optional<IndexPath> indexPath) { currentDeleteIndex_ = indexPath; }
    AlertView* confirmDeleteBox() const { return confirmDeleteBox_; }
    TableView* tableView() const { return tableView_; }
    BarButtonItem* emailButton() const { return emailButton_; }
    // The composer of the last export while its mail program runs.
    MailComposer* mailComposer() const;

    // The record a displayed row shows (row 0 is the newest), or none.
    const Sms* recordForRow(int row) const;

    // TableViewDataSource / TableViewDelegate: one section of drawn rows.
    int numberOfRowsInSection(TableView& table, int section) override;
    void describeRowAtIndexPath(TableView& table, const IndexPath& indexPath, TableViewRow& row) override;
    bool canEditRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    void commitEditingStyle(TableView& table, TableViewCell::EditingStyle style, const IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

    // AlertViewDelegate / MailComposerDelegate.
    void alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) override;
    void mailComposeControllerDidFinish(MailComposer& composer, MailComposeResult result) override;

    void viewWillAppear(bool animated) override;

protected:
    void viewDidLoad() override;

private:
    RecordViewController(std::vector<Sms> data, MessageStore& store, QWidget* parent);

    std::optional<std::size_t> indexForRow(int row) const;
    void deletePendingRecord();
    std::optional<std::size_t> indexOfPendingRecord() const;
    void showDeleteFailed();
    void showMessage(const QString& title, const QString& message);
    void handOverMail(const QString& attachmentPath);
    static QString notSavedNote();
    void scheduleReloadIfStale();

    std::vector<Sms> data_;
    MessageStore& store_;
    TableView* tableView_ = nullptr;
    BarButtonItem* emailButton_ = nullptr;
    AlertView* confirmDeleteBox_ = nullptr;
    AlertView* messageBox_ = nullptr;
    std::optional<IndexPath> currentDeleteIndex_;
    // The row number awaiting deletion, kept whole: an alert's tag is an int.
    long long pendingRowid_ = 0;
    std::optional<MyTableViewCell> reusableCell_;
    QPointer<MailComposer> mailComposer_;
    // A copy of the export outside Documents, for the mail program to read;
    // it goes with a failed hand-over, the next export or the screen.
    QString temporaryExport_;
    bool reloadScheduled_ = false;
};
