#include "app/shell/RootViewController.h"

#include "app/charts/ChartViewController.h"
#include "app/charts/ReportViewController.h"
#include "app/filters/DateViewController.h"
#include "app/filters/ExcludedViewController.h"
#include "app/filters/PersonSelectViewController.h"
#include "app/filters/PreferencesViewController.h"
#include "app/list/MessageStore.h"
#include "app/list/RecordViewController.h"
#include "app/shell/AboutViewController.h"
#include "app/shell/Artwork.h"
#include "app/shell/BackupImportFlow.h"
#include "app/shell/MessageTypeText.h"
#include "app/shell/PeriodButton.h"
#include "common/SettingsStore.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/ProgressHUD.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QPushButton>

namespace {

constexpr int kRowHeight = 40;
constexpr int kHeaderHeight = 1;
constexpr int kFooterHeight = 5;
const QString kModCellLabel = QStringLiteral("modCell");
// What "Total Messages" and "Messages Left" show when the count failed.
const QString kNoCount = QStringLiteral("\u2013");

// The arrows' grey: the period arrow's resting colour, which the table's
// arrows take over.
const QColor kArrowGrey(90, 90, 90);

}  // namespace

RootViewController::RootViewController(QWidget* parent, Clock clock, BadgeSetter setBadge)
    : ViewController(parent), model_(new MainScreenModel(this)),
      controller_(new MainScreenController(model_, std::move(clock), std::move(setBadge), this)) {
    connect(model_, &MainScreenModel::changed, this, &RootViewController::modelChanged);
    connect(model_, &MainScreenModel::countChanged, this, &RootViewController::refreshFilterTable);
    connectController();
}

void RootViewController::connectController() {
    connect(controller_, &MainScreenController::periodLoaded, this, [this] {
        updateDateStrings();
        refreshFilterTable();
    });
    // The list may be open (an activation recounts under it): it gets the
    // records behind the new total at once.
    connect(controller_, &MainScreenController::recordsReady, this,
            [this](const std::vector<Sms>& records) { recordController_->setData(records); });
    connect(controller_, &MainScreenController::alert, this, &RootViewController::showAlert);
    connect(controller_, &MainScreenController::busyStarted, this, &RootViewController::presentSheet);
    connect(controller_, &MainScreenController::busyEnded, this, &RootViewController::killHUD);
    connect(controller_, &MainScreenController::chartReady, this, &RootViewController::showChartScreen);
    connect(controller_, &MainScreenController::reportReady, this, &RootViewController::showReportScreen);
    connect(controller_, &MainScreenController::phoneDataChanged, this, &RootViewController::showPhoneData);
}

// --- Building ----------------------------------------------------------------

void RootViewController::setUpComponents() {
    buildNavigationBar();
    buildAlerts();
    const auto stored = SettingsStore::load();
    const PropertyList* file = stored ? &*stored : nullptr;
    setBackgroundBrush(Theme::groupTableBackground());
    loadViewIfNeeded();

    rightArrow1_->setFont(Theme::fontNamed("Helvetica-Bold", 12));
    lblFrom_->setFont(Theme::boldSystemFont(14));
    lblTo_->setFont(Theme::boldSystemFont(14));
    fromDateString_->setFont(Theme::systemFont(14));
    toDateString_->setFont(Theme::systemFont(14));

    // The list exists from the start, so every count's records have an
    // owner whether or not the list was ever opened.
    recordController_ = RecordViewController::initWithArrayData({}, MessageStore::counterDatabase(), this);
    // Made before the main screen first shows, it would show with it, over
    // it; it shows when it is pushed.
    recordController_->hide();
    // Message type, person filter, exclusions, badge type and quota.
    model_->loadFilterSettings(file);
    controller_->loadPersons();
}

void RootViewController::buildNavigationBar() {
    setTitle(QStringLiteral("Ledgerwick"));
    auto* gears = new BarButtonItem(BarButtonItem::Painter(&Artwork::drawGears), QSize(30, 30), this);
    gears->setAccessibleName(tr("Preferences"));
    connect(gears, &BarButtonItem::clicked, this, &RootViewController::showPreferencesView);
    navigationItem().setLeftBarButtonItem(gears);
    auto* info = new BarButtonItem(BarButtonItem::SystemItem::InfoLight, this);
    info->setAccessibleName(tr("About"));
    connect(info, &BarButtonItem::clicked, this, &RootViewController::showAboutView);
    navigationItem().setRightBarButtonItem(info);
}

void RootViewController::buildAlerts() {
    confirmEmptyDBBox_ = new AlertView(tr("Confirm Action"),
                                       tr("Do you want to clear the database maintained by Ledgerwick?\n\nTake note "
                                          "that this will not clear the default iPhone SMS database"),
                                       this, tr("Cancel"), {tr("OK")}, this);
    alertBox_ = new AlertView(tr("Clear DB"), tr("Database cleared"), this, tr("OK"), {}, this);
    countFailureBox_ = new AlertView(tr("ERROR!"), QString(), this, tr("OK"), {}, this);
}

void RootViewController::viewDidLoad() {
    buildPeriodArea();
    buildFilterArea();
    buildNoPhoneDataArea();
    importFlow_ = new BackupImportFlow(controller_, this, this);
    showPhoneData(controller_->holdsPhoneData());
}

void RootViewController::buildPeriodArea() {
    btnDate_ = new PeriodButton(this);
    btnDate_->setGeometry(10, 12, 300, 54);
    connect(btnDate_, &QAbstractButton::pressed, this, &RootViewController::buttonHighlighted);
    connect(btnDate_, &QAbstractButton::released, this, &RootViewController::buttonNormal);
    connect(btnDate_, &QAbstractButton::clicked, this, &RootViewController::datePickView);

    lblFrom_ = new Label(tr("From"), QRect(30, 16, 60, 20), Theme::boldSystemFont(14), this);
    fromDateString_ = new Label(QString(), QRect(90, 16, 180, 20), Theme::systemFont(14), this);
    lblTo_ = new Label(tr("To"), QRect(30, 42, 60, 20), Theme::boldSystemFont(14), this);
    toDateString_ = new Label(QString(), QRect(90, 42, 180, 20), Theme::systemFont(14), this);
    rightArrow1_ = new Label(QStringLiteral(">"), QRect(288, 29, 10, 20), Theme::fontNamed("Helvetica-Bold", 12), this);
    rightArrow1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rightArrow1_->setTextColor(kArrowGrey);
    for (Label* label : {lblFrom_, fromDateString_, lblTo_, toDateString_, rightArrow1_})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void RootViewController::buildFilterArea() {
    lblFilterBy_ = new Label(tr("Filter By"), QRect(30, 78, 260, 20), Theme::boldSystemFont(15), this);
    lblFilterBy_->setTextColor(Theme::groupedHeaderTextColor());

    filterTableView_ = new TableView(TableView::Style::Grouped, this);
    filterTableView_->setGeometry(0, 96, 320, 236);
    filterTableView_->setRowHeight(kRowHeight);
    filterTableView_->setBackgroundBrush(Theme::groupTableBackground());
    filterTableView_->setDataSource(this);
    filterTableView_->setDelegate(this);

    btnGenerateChart_ = new QPushButton(tr("Chart"), this);
    btnGenerateChart_->setGeometry(20, 350, 130, 44);
    connect(btnGenerateChart_, &QPushButton::clicked, this, &RootViewController::showChart);
    btnReport_ = new QPushButton(tr("Report"), this);
    btnReport_->setGeometry(170, 350, 130, 44);
    connect(btnReport_, &QPushButton::clicked, this, &RootViewController::showReport);
    for (QPushButton* button : {btnGenerateChart_, btnReport_}) button->setFont(Theme::boldSystemFont(15));
}

void RootViewController::buildNoPhoneDataArea() {
    noPhoneDataLabel_ = new Label(QString(), QRect(30, 120, 260, 80), Theme::systemFont(16), this);
    noPhoneDataLabel_->setNumberOfLines(0);
    noPhoneDataLabel_->setAlignment(Qt::AlignCenter);
    noPhoneDataLabel_->setTextColor(Theme::groupedHeaderTextColor());
    btnImport_ = new QPushButton(this);
    btnImport_->setGeometry(40, 220, 240, 44);
    btnImport_->setFont(Theme::boldSystemFont(15));
    connect(btnImport_, &QPushButton::clicked, this, &RootViewController::importBackup);
}

void RootViewController::showPhoneData(bool present) {
    if (!btnImport_) return;  // before the view is built
    for (QWidget* part :
         std::initializer_list<QWidget*>{btnDate_, lblFrom_, fromDateString_, lblTo_, toDateString_, rightArrow1_,
                                         lblFilterBy_, filterTableView_, btnGenerateChart_, btnReport_})
        part->setVisible(present);
    noPhoneDataLabel_->setVisible(!present);
    btnImport_->setVisible(!present);
    noPhoneDataLabel_->setText(tr("No messages yet: import a backup of your iPhone."));
    btnImport_->setText(tr("Import iPhone Backup"));
}

// --- Filling -----------------------------------------------------------------

void RootViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    updateMessageCount();
    refreshFilterTable();
    lblFilterBy_->setText(tr("Filter By"));
    lblFrom_->setText(tr("From"));
    lblTo_->setText(tr("To"));
    btnGenerateChart_->setText(tr("Chart"));
    btnReport_->setText(tr("Report"));
    showPhoneData(controller_->holdsPhoneData());
}

void RootViewController::updateDateStrings() {
    fromDateString_->setText(dateFormatter_.stringFromDate(model_->from()));
    toDateString_->setText(dateFormatter_.stringFromDate(model_->to()));
}

void RootViewController::modelChanged() {
    // Until the first activation the screen redraws on its own (the
    // controller's periodLoaded); the controller recounts.
    if (!controller_->contentLoaded()) return;
    updateDateStrings();
    refreshFilterTable();
}

void RootViewController::refreshFilterTable() { filterTableView_->reloadData(); }

// --- Filter table ------------------------------------------------------------

const std::vector<RootViewController::FilterSection>& RootViewController::filterSections() {
    using R = RootViewController;
    static const std::vector<FilterSection> sections = {
        {
            {QT_TR_NOOP("Message Type"), &R::messageTypeValue, &R::showMessageTypeMenu, nullptr},
            {QT_TR_NOOP("Person"), &R::personValue, &R::showPersonSelectView, nullptr},
            {QT_TR_NOOP("Exclusions"), &R::exclusionsValue, &R::showExcludedView, nullptr},
        },
        {
            {QT_TR_NOOP("Total Messages"), &R::totalValue, &R::showDetails, &R::listShown},
            {QT_TR_NOOP("Messages Left"), &R::messagesLeftValue, nullptr, nullptr},
        },
    };
    return sections;
}

const RootViewController::FilterRow& RootViewController::filterRow(const IndexPath& indexPath) const {
    return filterSections().at(static_cast<std::size_t>(indexPath.section)).at(static_cast<std::size_t>(indexPath.row));
}

bool RootViewController::rowHasArrow(const FilterRow& row) const {
    return row.open && (!row.opens || (this->*row.opens)());
}

QString RootViewController::messageTypeValue() const { return MessageTypeText::choice(model_->messageType()); }

QString RootViewController::personValue() const {
    return model_->selectedPerson() ? QString::fromStdString(model_->selectedPerson()->name()) : tr("All");
}

QString RootViewController::exclusionsValue() const {
    return model_->excludedPersonArray().empty() ? tr("None")
                                                 : QString::fromStdString(model_->excludedPersonArray().front().name());
}

QString RootViewController::totalValue() const {
    if (!model_->hasMessageCount()) return QString();
    // A count that failed has no number; the dash is no "-" of "no quota".
    return model_->countFailed() ? kNoCount : QString::number(model_->messageCount());
}

QString RootViewController::messagesLeftValue() const {
    if (!model_->hasMessageCount()) return QString();
    if (model_->countFailed()) return kNoCount;
    const int left = model_->messagesLeft();
    return left < 0 ? QStringLiteral("-") : QString::number(left);
}

bool RootViewController::listShown() const { return !model_->hideSMS(); }

int RootViewController::numberOfSectionsInTableView(TableView&) { return static_cast<int>(filterSections().size()); }

int RootViewController::numberOfRowsInSection(TableView&, int section) {
    return static_cast<int>(filterSections().at(static_cast<std::size_t>(section)).size());
}

int RootViewController::heightForRowAtIndexPath(TableView&, const IndexPath&) { return kRowHeight; }

int RootViewController::heightForHeaderInSection(TableView&, int) { return kHeaderHeight; }

int RootViewController::heightForFooterInSection(TableView&, int) { return kFooterHeight; }

QString RootViewController::titleForHeaderInSection(TableView&, int) { return QString(); }

TableViewCell* RootViewController::cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    TableViewCell* cell = table.dequeueReusableCell(QStringLiteral("Cell"));
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, QStringLiteral("Cell"));
    cell->setBackgroundColor(Theme::cellBackground());
    const FilterRow& row = filterRow(indexPath);
    const bool arrow = rowHasArrow(row);
    modCell(cell, tr(row.title), (this->*row.value)(), arrow);
    cell->setSelectionStyle(arrow ? TableViewCell::SelectionStyle::Blue : TableViewCell::SelectionStyle::None);
    return cell;
}

void RootViewController::modCell(TableViewCell* cell, const QString& header, const QString& content, bool withArrow) {
    // A reused cell must not keep the labels of its last row. (The cell's
    // own text labels stay; this screen leaves them empty.)
    const auto old = cell->contentView()->findChildren<Label*>(kModCellLabel, Qt::FindDirectChildrenOnly);
    for (Label* label : old) delete label;

    auto* caption = new Label(header, QRect(20, 10, 150, 20), Theme::boldSystemFont(14), cell->contentView());
    caption->setHighlightedTextColor(Qt::white);
    auto* value = new Label(content, QRect(150, 10, 120, 20), Theme::systemFont(14), cell->contentView());
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setHighlightedTextColor(Qt::white);
    if (withArrow) {
        auto* arrow = new Label(QStringLiteral(">"), QRect(278, 10, 10, 20), Theme::fontNamed("Helvetica-Bold", 12),
                                cell->contentView());
        arrow->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        arrow->setTextColor(rightArrow1_->textColor());
        arrow->setHighlightedTextColor(Qt::white);
    }
    for (Label* label : cell->contentView()->findChildren<Label*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label == cell->textLabel() || label == cell->detailTextLabel()) continue;
        label->setObjectName(kModCellLabel);
        label->show();
    }
}

void RootViewController::didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    const FilterRow& row = filterRow(indexPath);
    if (rowHasArrow(row)) (this->*row.open)();
    table.deselectRowAtIndexPath(indexPath, true);
}

// --- Message-type menu -------------------------------------------------------

void RootViewController::showMessageTypeMenu() {
    if (!messageTypeMenu_)
        messageTypeMenu_ =
            new ActionSheet(tr("Message Type"), this, tr("Cancel"), QString(), MessageTypeText::choices(), this);
    messageTypeMenu_->showInView(this);
}

void RootViewController::actionSheetClickedButtonAtIndex(ActionSheet& actionSheet, int buttonIndex) {
    if (&actionSheet != messageTypeMenu_) return;
    // The buttons are counted with Cancel first.
    const int choice = buttonIndex - (actionSheet.cancelButtonIndex() == 0 ? 1 : 0);
    if (choice < 0 || choice > 2 || buttonIndex == actionSheet.cancelButtonIndex()) return;
    // The model's change recounts and redraws.
    model_->setMessageType(static_cast<MessageType>(choice));
}

// --- Period highlight --------------------------------------------------------

void RootViewController::buttonHighlighted() {
    for (Label* label : {lblFrom_, lblTo_, rightArrow1_, fromDateString_, toDateString_})
        label->setTextColor(Qt::white);
}

void RootViewController::buttonNormal() {
    for (Label* label : {lblFrom_, lblTo_, fromDateString_, toDateString_}) label->setTextColor(Qt::black);
    rightArrow1_->setTextColor(kArrowGrey);
}

// --- Navigation --------------------------------------------------------------

void RootViewController::showAboutView() {
    if (!aboutController_) aboutController_ = new AboutViewController(this);
    aboutController_->setBackgroundBrush(Theme::groupTableBackground());
    if (navigationController()) navigationController()->pushViewController(aboutController_, true);
}

void RootViewController::datePickView() {
    if (!dvController_) dvController_ = new DateViewController(model_, dateFormatter_, this);
    dvController_->setFrom(model_->from());
    dvController_->setTo(model_->to());
    if (navigationController()) navigationController()->pushViewController(dvController_, true);
}

void RootViewController::showPreferencesView() {
    if (!pvController_) {
        pvController_ = new PreferencesViewController(model_, this);
        connect(pvController_, &PreferencesViewController::clearDatabaseRequested, this,
                &RootViewController::confirmClearDB);
        connect(pvController_, &PreferencesViewController::importBackupRequested, this,
                &RootViewController::importBackup);
        pvController_->setBackgroundBrush(Theme::groupTableBackground());
    }
    pvController_->hideSelection();
    pvController_->setSelectionDay(
        model_->saveFromDate() == MainScreenSettings::PeriodMode::BillingDay ? model_->cycleDay() : 0);
    pvController_->setBadgeType(model_->badgeType());
    if (navigationController()) navigationController()->pushViewController(pvController_, true);
}

void RootViewController::showPersonSelectView() {
    if (!psController_) psController_ = new PersonSelectViewController(model_, this);
    if (navigationController()) navigationController()->pushViewController(psController_, true);
}

void RootViewController::showExcludedView() {
    if (!evController_) evController_ = new ExcludedViewController(model_, this);
    // The list always opens out of edit mode.
    evController_->leaveEditAction();
    if (navigationController()) navigationController()->pushViewController(evController_, true);
}

void RootViewController::showDetails() {
    // The list already holds the last count's records; a count under way
    // hands it the new ones when it is done.
    recordController_->setTitle1(RecordViewController::titleForMessageType(model_->messageType()));
    if (navigationController()) navigationController()->pushViewController(recordController_, true);
}

// --- Charts and report -------------------------------------------------------

void RootViewController::showChartScreen(const MainScreenData::Chart& chart, MessageType type, std::time_t from,
                                         std::time_t to) {
    if (!cvController_) cvController_ = new ChartViewController(this);
    const QString info =
        ChartViewController::infoText(type, dateFormatter_.stringFromDate(from), dateFormatter_.stringFromDate(to),
                                      static_cast<int>(chart.counts.size()));
    cvController_->showChart(chart.persons, chart.counts, chart.records, chart.total, info);
    cvController_->setBackgroundBrush(Theme::groupTableBackground());
    if (navigationController()) navigationController()->pushViewController(cvController_, true);
}

void RootViewController::showReportScreen(const std::vector<MonthlyReport::MonthRow>& months, std::time_t from,
                                          std::time_t to) {
    if (rvController_)
        rvController_->removeAllSubviews();
    else
        rvController_ = new ReportViewController(this);
    rvController_->setBackgroundBrush(Theme::groupTableBackground());
    rvController_->setFrom(from);
    rvController_->setTo(to);
    rvController_->initWithMonths(months, MessageType::Both);
    if (navigationController()) navigationController()->pushViewController(rvController_, true);
}

// --- Alerts and progress overlay ---------------------------------------------

void RootViewController::showNotice(const QString& title, const QString& message) {
    alertBox_->setTitle(title);
    alertBox_->setMessage(message);
    alertBox_->show();
}

void RootViewController::showAlert(MainScreenController::Alert kind, const QString& detail) {
    using Alert = MainScreenController::Alert;
    switch (kind) {
    case Alert::SettingsUnreadable:
        return showNotice(tr("ERROR!"), tr("The settings file cannot be read, so no new messages were copied."));
    case Alert::SyncFailed: return showNotice(tr("ERROR!"), QStringLiteral("%1 : %2").arg(tr("error code"), detail));
    case Alert::CountFailed:
        // A box of its own: a failed count follows a failed sync's alert,
        // and must not replace its text.
        countFailureBox_->setMessage(tr("The messages cannot be counted, so no total is shown: %1").arg(detail));
        return countFailureBox_->show();
    case Alert::ClearFailed:
        return showNotice(tr("Clear DB"), tr("Some problems have occurred.\nClear DB is not successful"));
    case Alert::Cleared: return showNotice(tr("Clear DB"), tr("Clear DB is successful"));
    case Alert::Resyncing: return showNotice(QStringLiteral("Ledgerwick"), tr("Resyncing with default SMS database"));
    }
}

void RootViewController::confirmClearDB() { confirmEmptyDBBox_->show(); }

void RootViewController::importBackup() { importFlow_->start(); }

void RootViewController::alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) {
    if (&alertView == confirmEmptyDBBox_ && buttonIndex == 1) clearDB();
}

void RootViewController::presentSheet(MainScreenController::Busy kind) {
    QWidget* over = PhoneWindow::containing(this);
    aHUD_ = new ProgressHUD(over ? over : this);
    aHUD_->show(kind == MainScreenController::Busy::Chart ? tr("Generating Chart. Please wait.")
                                                          : tr("Generating Report. Please wait."));
}

void RootViewController::killHUD() {
    if (!aHUD_) return;
    aHUD_->hide();
    aHUD_->deleteLater();
    aHUD_ = nullptr;
}
