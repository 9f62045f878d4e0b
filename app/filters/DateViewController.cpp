#include "app/filters/DateViewController.h"

#include "app/shell/MainScreenModel.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QDateTime>

namespace {

constexpr int kFromRow = 0;

QDate localDay(std::time_t moment) { return QDateTime::fromSecsSinceEpoch(moment).date(); }

std::time_t firstSecondOf(const QDate& day) { return day.startOfDay().toSecsSinceEpoch(); }

std::time_t lastSecondOf(const QDate& day) { return QDateTime(day, QTime(23, 59, 59)).toSecsSinceEpoch(); }

}  // namespace

DateViewController::DateViewController(MainScreenModel* model, const DateFormatter& dateFormatter, QWidget* parent)
    : ViewController(parent), model_(model), dateFormatter_(dateFormatter) {}

void DateViewController::viewDidLoad() {
    setBackgroundBrush(Theme::groupTableBackground());
    tableView_ = new TableView(TableView::Style::Grouped, this);
    tableView_->setGeometry(0, 0, Theme::windowWidth, Theme::contentHeight - Theme::pickerHeight);
    tableView_->setDataSource(this);
    tableView_->setDelegate(this);
    datePicker_ = new DatePicker(this);
    datePicker_->setGeometry(0, Theme::contentHeight - Theme::pickerHeight, Theme::windowWidth, Theme::pickerHeight);
    connect(datePicker_, &DatePicker::dateChanged, this, &DateViewController::changedDate);

    auto* cancel = new BarButtonItem(BarButtonItem::SystemItem::Cancel, this);
    connect(cancel, &BarButtonItem::clicked, this, &DateViewController::cancel);
    navigationItem().setLeftBarButtonItem(cancel);
    auto* done = new BarButtonItem(BarButtonItem::SystemItem::Done, this);
    connect(done, &BarButtonItem::clicked, this, &DateViewController::save);
    navigationItem().setRightBarButtonItem(done);
    setTitle(tr("Message period"));

    tableView_->reloadData();
    selectFromRow(true);
}

void DateViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    // Every opening starts on "From", whatever was selected when the screen
    // was last left.
    tableView_->reloadData();
    selectFromRow(false);
}

void DateViewController::selectFromRow(bool animated) {
    tableView_->selectRowAtIndexPath({0, kFromRow}, animated, TableView::ScrollPosition::Middle);
    showDateOfRow(kFromRow, true);
}

void DateViewController::showDateOfRow(int row, bool animated) {
    datePicker_->setDate(localDay(row == kFromRow ? from_ : to_), animated);
}

// --- Actions -------------------------------------------------------------------

void DateViewController::save() {
    // Applied as chosen: a start after the end is the user's to make.
    model_->setPeriod(from_, to_);
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

void DateViewController::cancel() {
    // The edits are dropped: the next opening starts from the main screen's dates.
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

void DateViewController::changedDate(const QDate& date) {
    const auto selected = tableView_->indexPathForSelectedRow();
    if (!selected || selected->section != 0) return;
    if (selected->row == kFromRow)
        from_ = firstSecondOf(date);
    else
        to_ = lastSecondOf(date);
    tableView_->reloadData();
    tableView_->selectRowAtIndexPath(*selected, false, TableView::ScrollPosition::Middle);
}

// --- Table -------------------------------------------------------------------

int DateViewController::numberOfSectionsInTableView(TableView&) { return 1; }

int DateViewController::numberOfRowsInSection(TableView&, int) { return 2; }

QString DateViewController::titleForHeaderInSection(TableView&, int section) {
    return section == 0 ? tr("Period") : QString();
}

TableViewCell* DateViewController::cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    TableViewCell* cell = table.dequeueReusableCell(QStringLiteral("Cell"));
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, QStringLiteral("Cell"));
    cell->setBackgroundColor(Theme::cellBackground());
    if (indexPath.row == kFromRow)
        modCell(cell, tr("From"), dateFormatter_.stringFromDate(from_));
    else
        modCell(cell, tr("To"), dateFormatter_.stringFromDate(to_));
    return cell;
}

void DateViewController::modCell(TableViewCell* cell, const QString& header, const QString& content) {
    // A reused cell must not keep the labels of the row it showed before.
    for (Label* label : cell->contentView()->findChildren<Label*>(QString(), Qt::FindDirectChildrenOnly))
        if (label != cell->textLabel() && label != cell->detailTextLabel()) delete label;

    auto* name = new Label(header, QRect(20, 10, 120, 20), Theme::boldSystemFont(14), cell->contentView());
    name->setHighlightedTextColor(Qt::white);
    auto* date = new Label(content, QRect(120, 10, 150, 20), Theme::systemFont(14), cell->contentView());
    date->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    date->setHighlightedTextColor(Qt::white);
    name->show();
    date->show();
}

void DateViewController::didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) {
    showDateOfRow(indexPath.row, true);
}
