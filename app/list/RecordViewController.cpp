#include "app/list/RecordViewController.h"

#include "app/list/CsvExport.h"
#include "app/list/MailComposer.h"
#include "app/list/MessageStore.h"
#include "app/list/MyTableViewCell.h"
#include "app/shell/MessageTypeText.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewRow.h"
#include "platform/ui/Theme.h"

#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr int kConfirmButton = 1;

QString joinedParagraphs(const QString& first, const QString& second) {
    if (first.isEmpty()) return second;
    if (second.isEmpty()) return first;
    return first + QStringLiteral("\n\n") + second;
}

}  // namespace

RecordViewController* RecordViewController::initWithArrayData(std::vector<Sms> data, MessageStore& store,
                                                              QWidget* parent) {
    return new RecordViewController(std::move(data), store, parent);
}

RecordViewController::RecordViewController(std::vector<Sms> data, MessageStore& store, QWidget* parent)
    : ViewController(parent), data_(std::move(data)), store_(store) {
    confirmDeleteBox_ =
        new AlertView(tr("Confirm Action"), tr("Do you want to delete this SMS"), this, tr("Cancel"), {tr("OK")}, this);
    confirmDeleteBox_->setTag(0);
    messageBox_ = new AlertView(QString(), QString(), nullptr, tr("OK"), {}, this);
}

QString RecordViewController::titleForMessageType(MessageType messageType) {
    return MessageTypeText::listTitle(messageType);
}

void RecordViewController::setData(std::vector<Sms> data) {
    data_ = std::move(data);
    if (tableView_) tableView_->reloadData();
}

void RecordViewController::setTitle1(const QString& title) { setTitle(title); }

void RecordViewController::viewDidLoad() {
    tableView_ = new TableView(TableView::Style::Plain, this);
    tableView_->setDrawsRows(true);
    tableView_->setGeometry(0, 0, Theme::windowWidth, Theme::contentHeight);
    tableView_->setRowHeight(kRowHeight);
    tableView_->setDataSource(this);
    tableView_->setDelegate(this);
    emailButton_ = new BarButtonItem(tr("Email Data"), BarButtonItem::Style::Plain, this);
    connect(emailButton_, &BarButtonItem::clicked, this, &RecordViewController::exportData);
    navigationItem().setRightBarButtonItem(emailButton_);
}

void RecordViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    tableView_->reloadData();
}

// --- Rows --------------------------------------------------------------------

std::optional<std::size_t> RecordViewController::indexForRow(int row) const {
    // The array is oldest first; the list shows it from the end.
    if (row < 0 || std::size_t(row) >= data_.size()) return std::nullopt;
    return data_.size() - 1 - std::size_t(row);
}

const Sms* RecordViewController::recordForRow(int row) const {
    const auto index = indexForRow(row);
    return index ? &data_[*index] : nullptr;
}

int RecordViewController::numberOfRowsInSection(TableView&, int) { return int(data_.size()); }

void RecordViewController::describeRowAtIndexPath(TableView&, const IndexPath& indexPath, TableViewRow& content) {
    scheduleReloadIfStale();
    const Sms* record = recordForRow(indexPath.row);
    if (!record) return;
    // One cell describes every row in turn, as a table reuses its cells.
    if (!reusableCell_) reusableCell_.emplace();
    MyTableViewCell& cell = *reusableCell_;
    // A number no contact stands behind shows as the number the message
    // database spells.
    const bool contact = record->person() && record->person()->recordID() != 0;
    const QString name = QString::fromStdString(contact ? record->person()->name() : record->number());
    cell.modCellWithName(name, record->date(), QString::fromStdString(record->text()), record->flags());
    cell.fillRow(content);
}

void RecordViewController::scheduleReloadIfStale() {
    // The main screen refills its array when the app comes back to the
    // front, possibly while this list is on top; the list then catches up
    // rather than paint rows that are no longer there.
    if (reloadScheduled_ || !tableView_ || tableView_->numberOfRowsInSection(0) == int(data_.size())) return;
    reloadScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        reloadScheduled_ = false;
        tableView_->reloadData();
    });
}

void RecordViewController::didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) {
    if (const Sms* record = recordForRow(indexPath.row))
        showMessage(QStringLiteral("Ledgerwick"), QString::fromStdString(record->text()));
}

// --- Deleting ----------------------------------------------------------------

bool RecordViewController::canEditRowAtIndexPath(TableView&, const IndexPath&) { return true; }

void RecordViewController::commitEditingStyle(TableView& table, TableViewCell::EditingStyle style,
                                              const IndexPath& indexPath) {
    if (style != TableViewCell::EditingStyle::Delete) return;
    const Sms* record = recordForRow(indexPath.row);
    if (!record) {
        table.reloadData();
        return;
    }
    pendingRowid_ = record->rowid();
    confirmDeleteBox_->setTag(int(std::clamp<long long>(pendingRowid_, INT_MIN, INT_MAX)));
    currentDeleteIndex_ = indexPath;
    confirmDeleteBox_->show();
}

void RecordViewController::alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) {
    if (&alertView != confirmDeleteBox_) return;
    // A confirmation without a row to delete is a failed delete, whichever
    // button answered it.
    if (alertView.tag() < 1 || !currentDeleteIndex_) {
        showDeleteFailed();
        return;
    }
    if (buttonIndex == kConfirmButton) deletePendingRecord();
}

void RecordViewController::deletePendingRecord() {
    if (!store_.deleteMessage(pendingRowid_)) {
        showDeleteFailed();
        return;
    }
    const auto index = indexOfPendingRecord();
    const bool listInStep = tableView_->numberOfRowsInSection(0) == int(data_.size());
    if (!index) {
        // Already gone from the array (the main screen recounted while the
        // confirmation was up): the list only catches up.
        tableView_->reloadData();
        return;
    }
    const int row = int(data_.size() - 1 - *index);
    data_.erase(data_.begin() + std::ptrdiff_t(*index));
    if (listInStep)
        tableView_->deleteRowsAtIndexPaths({IndexPath{0, row}}, true);
    else
        tableView_->reloadData();
}

std::optional<std::size_t> RecordViewController::indexOfPendingRecord() const {
    // Normally the record still sits where the row pointed; if the array
    // changed meanwhile, it is looked up by its row number.
    if (currentDeleteIndex_) {
        const auto index = indexForRow(currentDeleteIndex_->row);
        if (index && data_[*index].rowid() == pendingRowid_) return index;
    }
    const auto found =
        std::find_if(data_.begin(), data_.end(), [this](const Sms& record) { return record.rowid() == pendingRowid_; });
    if (found == data_.end()) return std::nullopt;
    return std::size_t(found - data_.begin());
}

void RecordViewController::showDeleteFailed() { showMessage(tr("Delete SMS"), tr("Delete SMS failed")); }

void RecordViewController::showMessage(const QString& title, const QString& message) {
    messageBox_->setTitle(title);
    messageBox_->setMessage(message);
    messageBox_->show();
}

// --- Export ------------------------------------------------------------------

RecordViewController::~RecordViewController() { CsvExport::removeTemporaryCopy(temporaryExport_); }

void RecordViewController::exportData() {
    CsvExport::removeTemporaryCopy(std::exchange(temporaryExport_, QString()));
    const QByteArray csv = CsvExport::text(data_).toUtf8();
    const QString documentsFile = CsvExport::documentsFilePath();
    const bool saved = CsvExport::writeAtomically(documentsFile, csv);
    if (!MailComposer::canSendMail()) {
        if (!saved) showMessage(tr("Export"), notSavedNote());
        return;
    }
    // The mail carries the text in memory even when Documents cannot take
    // it: then a private copy is attached.
    const QString attachment = saved ? documentsFile : CsvExport::writeTemporaryCopy(csv);
    if (!saved) temporaryExport_ = attachment;
    if (attachment.isEmpty()) {
        showMessage(tr("Export"), joinedParagraphs(tr("Your email has failed to send"), notSavedNote()));
        return;
    }
    handOverMail(attachment);
}

void RecordViewController::handOverMail(const QString& attachmentPath) {
    auto* composer = new MailComposer(this);
    composer->setMailComposeDelegate(this);
    composer->setToRecipients({});
    composer->setSubject(tr("Ledgerwick Exported CSV"));
    composer->setMessageBody(QString());
    composer->setAttachmentPath(attachmentPath);
    mailComposer_ = composer;
    composer->present();
}

MailComposer* RecordViewController::mailComposer() const { return mailComposer_.data(); }

QString RecordViewController::notSavedNote() {
    return tr("The file could not be saved to %1.").arg(CsvExport::documentsFilePath());
}

void RecordViewController::mailComposeControllerDidFinish(MailComposer& composer, MailComposeResult result) {
    composer.deleteLater();
    const QString path = composer.attachmentPath();
    // A copy outside Documents means Documents could not take the file.
    const QString notSaved = path == CsvExport::documentsFilePath() ? QString() : notSavedNote();
    if (result == MailComposeResult::Failed) {
        CsvExport::removeTemporaryCopy(std::exchange(temporaryExport_, QString()));
        showMessage(tr("Export"), joinedParagraphs(tr("Your email has failed to send"), notSaved));
    } else if (result == MailComposeResult::Sent) {
        // Many mail programs drop a file handed over this way; the user can
        // still attach it by hand.
        showMessage(
            tr("Export"),
            joinedParagraphs(notSaved, tr("If the attachment is missing, you will find the file at %1.").arg(path)));
    }
}
