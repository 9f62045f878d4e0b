#include "app/filters/PersonSelectViewController.h"

#include "app/shell/MainScreenModel.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

PersonSelectViewController::PersonSelectViewController(MainScreenModel* model, QWidget* parent)
    : ViewController(parent), model_(model) {}

void PersonSelectViewController::viewDidLoad() {
    tableView_ = new TableView(TableView::Style::Plain, this);
    tableView_->setGeometry(0, 0, Theme::windowWidth, Theme::contentHeight);
    tableView_->setDataSource(this);
    tableView_->setDelegate(this);
    setTitle(tr("Select Person"));
    // A list that arrives while the screen is open (the launch's sync
    // ending) shows at once.
    connect(model_, &MainScreenModel::personArrayChanged, this, [this] {
        if (isVisible()) tableView_->reloadData();
    });
}

void PersonSelectViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    // The main screen's list may have changed since the last opening (a
    // cleared database, a new sync).
    tableView_->reloadData();
}

int PersonSelectViewController::numberOfRowsInSection(TableView&, int) {
    return static_cast<int>(model_->personArray().size()) + 1;
}

TableViewCell* PersonSelectViewController::cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    TableViewCell* cell = table.dequeueReusableCell(QStringLiteral("Cell"));
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, QStringLiteral("Cell"));
    cell->setBackgroundColor(Theme::cellBackground());
    const auto& persons = model_->personArray();
    const auto index = static_cast<std::size_t>(indexPath.row - 1);
    if (indexPath.row == 0)
        cell->textLabel()->setText(tr("All"));
    else if (index < persons.size())
        cell->textLabel()->setText(QString::fromStdString(persons[index].name()));
    return cell;
}

void PersonSelectViewController::didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) {
    const auto& persons = model_->personArray();
    const auto index = static_cast<std::size_t>(indexPath.row - 1);
    if (indexPath.row == 0)
        model_->setSelectedPerson(std::nullopt);
    else if (index < persons.size())
        model_->setSelectedPerson(persons[index]);
    else
        return;  // a row of a list that has changed under the table
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
}
