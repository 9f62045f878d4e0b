#include "app/filters/ExcludedPersonSelectViewController.h"

#include "app/filters/EditableDetailCell.h"
#include "app/shell/MainScreenModel.h"
#include "platform/AddressBook.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QLineEdit>

namespace {

enum Section { kNumberSection, kContactSection };

}  // namespace

ExcludedPersonSelectViewController::ExcludedPersonSelectViewController(MainScreenModel* model, QWidget* parent)
    : ViewController(parent), model_(model) {}

void ExcludedPersonSelectViewController::viewDidLoad() {
    tableView_ = new TableView(TableView::Style::Plain, this);
    tableView_->setGeometry(0, 0, Theme::windowWidth, Theme::contentHeight);
    setTitle(tr("Excluded Numbers"));
    // Owned by this screen; the table only shows it.
    numCell_ =
        new EditableDetailCell(TableViewCell::Style::Default, QString(), EditableDetailCell::Layout::Entry, this);
    numCell_->textLabel()->setText(tr("Num"));
    numCell_->textField()->setPlaceholderText(QStringLiteral("e.g *123, 123*"));
    // Heard as "Num", with the pattern example as its description.
    numCell_->setFieldCaption(numCell_->textLabel()->text(), numCell_->textField()->placeholderText());
    numCell_->setReturnKeyType(EditableDetailCell::ReturnKeyType::Done);
    connect(numCell_, &EditableDetailCell::returnPressed, this,
            &ExcludedPersonSelectViewController::textFieldShouldReturn);
    tableView_->setDataSource(this);
    tableView_->setDelegate(this);
}

void ExcludedPersonSelectViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    tableView_->reloadData();
}

void ExcludedPersonSelectViewController::viewWillDisappear(bool animated) {
    numCell_->resignFirstResponder();
    ViewController::viewWillDisappear(animated);
}

void ExcludedPersonSelectViewController::setNum(const QString& number) {
    loadViewIfNeeded();
    numCell_->textField()->setText(number);
}

void ExcludedPersonSelectViewController::getPersonArray() {
    personArray_.clear();
    AddressBook& book = AddressBook::shared();
    book.refreshIfChanged();
    for (const ContactRef& contact : book.allPeopleSortedLastNameFirst()) {
        // First and last name only: the organisation does not name a person here.
        const auto name = Person::firstLastName(*contact);
        if (!name) continue;
        Person person;
        person.setName(*name);
        person.setRecordID(contact->recordID);
        personArray_.push_back(std::move(person));
    }
}

// --- Choosing ------------------------------------------------------------------

void ExcludedPersonSelectViewController::store(Person entry) {
    // A new entry, or one whose place has gone meanwhile, is appended:
    // nothing typed or picked is lost.
    if (editIndex_ < 0 || !model_->replaceExcludedPerson(static_cast<std::size_t>(editIndex_), entry))
        model_->addExcludedPerson(std::move(entry));
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

bool ExcludedPersonSelectViewController::textFieldShouldReturn() {
    const QString text = numCell_->textField()->text();
    if (numCell_->returnKeyType() != EditableDetailCell::ReturnKeyType::Done || text.isEmpty()) return true;
    // Taken as typed: a lone star is kept too, and simply matches no number.
    numCell_->resignFirstResponder();
    store(Person::bareNumber(text.toStdString(), -1));
    return true;
}

void ExcludedPersonSelectViewController::didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) {
    const auto index = static_cast<std::size_t>(indexPath.row);
    if (indexPath.section != kContactSection || index >= personArray_.size()) return;
    store(personArray_[index]);
}

// --- Table -------------------------------------------------------------------

int ExcludedPersonSelectViewController::numberOfSectionsInTableView(TableView&) { return 2; }

int ExcludedPersonSelectViewController::numberOfRowsInSection(TableView&, int section) {
    return section == kNumberSection ? 1 : static_cast<int>(personArray_.size());
}

QString ExcludedPersonSelectViewController::titleForHeaderInSection(TableView&, int section) {
    return section == kNumberSection ? tr("Add a excluded number") : tr("Select Person");
}

TableViewCell* ExcludedPersonSelectViewController::cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    if (indexPath.section == kNumberSection) return numCell_;
    TableViewCell* cell = table.dequeueReusableCell(QStringLiteral("Cell"));
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, QStringLiteral("Cell"));
    cell->setBackgroundColor(Theme::cellBackground());
    const auto index = static_cast<std::size_t>(indexPath.row);
    if (index < personArray_.size()) cell->textLabel()->setText(QString::fromStdString(personArray_[index].name()));
    return cell;
}
