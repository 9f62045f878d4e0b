#include "app/filters/ExcludedViewController.h"

#include "app/filters/ExcludedPersonSelectViewController.h"
#include "app/shell/MainScreenModel.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/KitTiming.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QTimer>

namespace {

// Long enough for the tap's blue to be seen before it fades.
constexpr int kDeselectDelayMs = 100;

}  // namespace

ExcludedViewController::ExcludedViewController(MainScreenModel* model, QWidget* parent)
    : ViewController(parent), model_(model) {}

void ExcludedViewController::viewDidLoad() {
    setBackgroundBrush(Theme::groupTableBackground());
    tableView_ = new TableView(TableView::Style::Grouped, this);
    tableView_->setGeometry(0, 0, Theme::windowWidth, Theme::contentHeight);
    tableView_->setDataSource(this);
    tableView_->setDelegate(this);
    tableView_->setAllowsSelectionDuringEditing(true);
    setTitle(tr("Exclusions"));
    editItem_ = new BarButtonItem(BarButtonItem::SystemItem::Edit, this);
    connect(editItem_, &BarButtonItem::clicked, this, &ExcludedViewController::enterEditAction);
    doneItem_ = new BarButtonItem(BarButtonItem::SystemItem::Done, this);
    connect(doneItem_, &BarButtonItem::clicked, this, &ExcludedViewController::leaveEditAction);
    navigationItem().setRightBarButtonItem(editItem_);
}

void ExcludedViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    // Shows the entry the second screen added or replaced; a reload also
    // drops the highlight of the row tapped to get there.
    tableView_->reloadData();
    if (const auto selected = tableView_->indexPathForSelectedRow())
        tableView_->deselectRowAtIndexPath(*selected, false);
}

int ExcludedViewController::entryCount() const { return static_cast<int>(model_->excludedPersonArray().size()); }

// --- Edit mode -----------------------------------------------------------------

void ExcludedViewController::enterEditAction() {
    loadViewIfNeeded();
    navigationItem().setRightBarButtonItem(doneItem_);
    tableView_->setEditing(true, true);
    tableView_->reloadData();
}

void ExcludedViewController::leaveEditAction() {
    loadViewIfNeeded();
    navigationItem().setRightBarButtonItem(editItem_);
    tableView_->setEditing(false, true);
    tableView_->reloadData();
}

// --- Opening the entry screen ----------------------------------------------------

void ExcludedViewController::addNumber() { openEntryScreen(-1, QString()); }

void ExcludedViewController::editNumber(const Person& entry, int index) {
    // A number entry opens with its text to change; a contact is replaced
    // by picking another or typing a number.
    openEntryScreen(index, entry.recordID() == -1 ? QString::fromStdString(entry.name()) : QString());
}

void ExcludedViewController::openEntryScreen(int editIndex, const QString& number) {
    if (!epsvController_) {
        epsvController_ = new ExcludedPersonSelectViewController(model_, this);
        epsvController_->getPersonArray();
    }
    epsvController_->setEditIndex(editIndex);
    epsvController_->setNum(number);
    if (navigationController()) navigationController()->pushViewController(epsvController_, true);
}

void ExcludedViewController::deselect() {
    if (const auto selected = tableView_->indexPathForSelectedRow())
        tableView_->deselectRowAtIndexPath(*selected, true);
}

// --- Table -------------------------------------------------------------------

int ExcludedViewController::numberOfRowsInSection(TableView& table, int) {
    const int n = entryCount();
    if (n == 0) return 1;
    return table.isEditing() ? n + 1 : n;
}

QString ExcludedViewController::titleForHeaderInSection(TableView&, int) { return tr("Excluded Numbers"); }

TableViewCell* ExcludedViewController::cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    TableViewCell* cell = table.dequeueReusableCell(QStringLiteral("Cell"));
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, QStringLiteral("Cell"));
    cell->setBackgroundColor(Theme::cellBackground());
    const int n = entryCount();
    QString text;
    if (indexPath.row < n)
        text = QString::fromStdString(model_->excludedPersonArray()[static_cast<std::size_t>(indexPath.row)].name());
    else if (table.isEditing())
        text = tr("Add a excluded number");
    else
        text = tr("None");
    cell->textLabel()->setText(text);
    return cell;
}

TableViewCell::EditingStyle ExcludedViewController::editingStyleForRowAtIndexPath(TableView& table,
                                                                                  const IndexPath& indexPath) {
    if (!table.isEditing()) return TableViewCell::EditingStyle::None;
    return indexPath.row < entryCount() ? TableViewCell::EditingStyle::Delete : TableViewCell::EditingStyle::Insert;
}

void ExcludedViewController::commitEditingStyle(TableView& table, TableViewCell::EditingStyle style,
                                                const IndexPath& indexPath) {
    if (style == TableViewCell::EditingStyle::Insert) {
        addNumber();
        return;
    }
    if (style != TableViewCell::EditingStyle::Delete || indexPath.row < 0 || indexPath.row >= entryCount()) return;
    model_->removeExcludedPerson(static_cast<std::size_t>(indexPath.row));
    table.deleteRowsAtIndexPaths({indexPath}, true);
    table.reloadData();
}

void ExcludedViewController::didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    const int n = entryCount();
    if (n == 0) {
        if (table.isEditing())
            addNumber();
        else
            QTimer::singleShot(KitTiming::length(kDeselectDelayMs), this, &ExcludedViewController::deselect);
        return;
    }
    if (indexPath.row < n)
        editNumber(model_->excludedPersonArray()[static_cast<std::size_t>(indexPath.row)], indexPath.row);
    else
        addNumber();
}
