#include "app/shell/RootViewController.h"

#include "app/charts/BarChartController.h"
#include "app/charts/ChartData.h"
#include "app/charts/ChartViewController.h"
#include "app/charts/MonthlyReport.h"
#include "app/charts/ReportViewController.h"
#include "app/filters/DateViewController.h"
#include "app/filters/ExcludedViewController.h"
#include "app/filters/PersonSelectViewController.h"
#include "app/filters/PreferencesViewController.h"
#include "app/list/RecordViewController.h"
#include "app/shell/AboutViewController.h"
#include "app/shell/Artwork.h"
#include "app/shell/MessageTypeText.h"
#include "app/shell/PeriodButton.h"
#include "common/MarkerSync.h"
#include "common/SettingsStore.h"
#include "common/SmsHelper.h"
#include "platform/BundleIdentifier.h"
#include "platform/DevicePaths.h"
#include "platform/FileIdentity.h"
#include "platform/dbus/IconBadge.h"
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
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kRowHeight = 40;
constexpr int kHeaderHeight = 1;
constexpr int kFooterHeight = 5;
constexpr int kHudChart = 0;
constexpr int kHudReport = 1;
// How long the chart and the report wait after showing the overlay.
constexpr int kGenerationDelayMs = 100;
const QString kModCellLabel = QStringLiteral("modCell");

// The arrows' grey: the period arrow's resting colour, which the table's
// arrows take over.
const QColor kArrowGrey(90, 90, 90);

void setBadge(int value) { IconBadge::setBadge(QString::fromUtf8(kBundleIdentifier), value); }

std::function<void(int)>& iconBadgeSetter() {
    static std::function<void(int)> setter = setBadge;
    return setter;
}

}  // namespace

RootViewController::RootViewController(QWidget* parent, Clock clock)
    : ViewController(parent), clock_(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })) {}

RootViewController::~RootViewController() = default;

// --- Building ----------------------------------------------------------------

void RootViewController::setUpComponents() {
    tmpData_.clear();
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

    personArray_.clear();
    SmsHelper::initAddressBook();
    SmsHelper::getUniquePerson(personArray_);
    // Message type, person filter, exclusions, badge type and quota.
    settings_.loadFilterSettings(file);
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
    confirmEmptyDBBox_->setTag(kConfirmEmptyDBTag);
    alertBox_ = new AlertView(tr("Clear DB"), tr("Database cleared"), this, tr("OK"), {}, this);
    alertBox_->setTag(kAlertBoxTag);
}

void RootViewController::viewDidLoad() {
    buildPeriodArea();
    buildFilterArea();
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

// --- Filling -----------------------------------------------------------------

void RootViewController::loadUpContent() {
    syncDB();
    const auto stored = SettingsStore::load();
    settings_.loadPeriod(stored ? &*stored : nullptr, clock_());
    updateDateStrings();
    refreshFilterTable();
    updateMessageCount();
}

void RootViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    updateMessageCount();
    refreshFilterTable();
    lblFilterBy_->setText(tr("Filter By"));
    lblFrom_->setText(tr("From"));
    lblTo_->setText(tr("To"));
    btnGenerateChart_->setText(tr("Chart"));
    btnReport_->setText(tr("Report"));
}

void RootViewController::updateDateStrings() {
    fromDateString_->setText(dateFormatter_.stringFromDate(settings_.from));
    toDateString_->setText(dateFormatter_.stringFromDate(settings_.to));
}

void RootViewController::refreshFilterTable() { filterTableView_->reloadData(); }

// Everything a count depends on. The screen recounts each time it is shown;
// when none of this changed since the last count (launch shows the screen
// right after counting), the last result stands, which keeps a launch on a
// large database from counting everything twice.
RootViewController::CountInputs RootViewController::currentCountInputs() const {
    CountInputs inputs;
    inputs.from = settings_.from;
    inputs.to = settings_.to;
    inputs.messageType = settings_.messageType;
    auto describe = [](const Person& person) {
        std::string text = std::to_string(person.recordID()) + '\x1f' + person.name();
        for (const auto& number : person.numSet()) text += '\x1f' + number;
        return text + '\x1e';
    };
    if (settings_.selectedPerson) inputs.people = "P" + describe(*settings_.selectedPerson);
    for (const Person& person : settings_.excludedPersonArray) inputs.people += "X" + describe(person);
    inputs.counterDatabase = FileIdentity::of(DevicePaths::counterDatabase());
    inputs.addressBook = FileIdentity::of(DevicePaths::addressBook());
    return inputs;
}

void RootViewController::updateMessageCount() {
    CountInputs inputs = currentCountInputs();
    // File times are the system's, whatever clock the screen runs on.
    const auto now = std::chrono::system_clock::now();
    // A file changed within the clock's last tick may change again unseen.
    const bool settled = !inputs.counterDatabase.isRecent(now) && !inputs.addressBook.isRecent(now);
    // The last count stands only while its records do too: the chart, for
    // one, fills the same array with everybody's messages.
    if (settled && lastCountInputs_ && *lastCountInputs_ == inputs && recordsFingerprint(tmpData_) == countedRecords_)
        return;
    lastCountInputs_ = std::move(inputs);
    tmpData_.clear();
    const Person* person = settings_.selectedPerson ? &*settings_.selectedPerson : nullptr;
    const auto& excluded = settings_.excludedPersonArray;
    const SmsHelper::Bound from = settings_.from, to = settings_.to;
    // For both: received first, then sent, into the same list.
    msgCount_ = SmsHelper::countMessages(settings_.messageType, Direction::Received, from, to, person, &excluded,
                                         &tmpData_);
    countedRecords_ = recordsFingerprint(tmpData_);
    // The message list shows this very array, and may be open (an
    // activation recounts under it): it gets the new records at once.
    if (recordController_) handRecordsToList();
}

std::uint64_t RootViewController::recordsFingerprint(const std::vector<Sms>& records) {
    // A sum of mixed row numbers: the same records in any order give the
    // same value, other records practically never do.
    std::uint64_t sum = records.size();
    for (const Sms& record : records) {
        std::uint64_t x = static_cast<std::uint64_t>(record.rowid()) * 4 + static_cast<std::uint64_t>(flagsOf(record.flags()) & 3);
        x += 0x9e3779b97f4a7c15U;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9U;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebU;
        sum += x ^ (x >> 31);
    }
    return sum;
}

void RootViewController::saveLastDate() { settings_.saveLastDate(clock_(), iconBadgeSetter()); }

void RootViewController::setIconBadgeForTesting(std::function<void(int)> setter) {
    iconBadgeSetter() = setter ? std::move(setter) : std::function<void(int)>(setBadge);
}

// --- Filter table ------------------------------------------------------------

QString RootViewController::captionForRow(int section, int row) const {
    if (section == 0) {
        if (row == 0) return tr("Message Type");
        if (row == 1) return tr("Person");
        return tr("Exclusions");
    }
    return row == 0 ? tr("Total Messages") : tr("Messages Left");
}

QString RootViewController::valueForRow(int section, int row) const {
    if (section == 0 && row == 0) {
        return MessageTypeText::choice(settings_.messageType);
    }
    if (section == 0 && row == 1)
        return settings_.selectedPerson ? QString::fromStdString(settings_.selectedPerson->name()) : tr("All");
    if (section == 0)
        return settings_.excludedPersonArray.empty()
                   ? tr("None")
                   : QString::fromStdString(settings_.excludedPersonArray.front().name());
    if (row == 0) return QString::number(msgCount_);
    if (settings_.smsquota < 1) return QStringLiteral("-");
    return QString::number(std::max(0, settings_.smsquota - msgCount_));
}

bool RootViewController::rowHasArrow(int section, int row) const {
    if (section == 0) return true;
    return row == 0 && !settings_.hideSMS;
}

int RootViewController::numberOfSectionsInTableView(TableView&) { return 2; }

int RootViewController::numberOfRowsInSection(TableView&, int section) { return section == 0 ? 3 : 2; }

int RootViewController::heightForRowAtIndexPath(TableView&, const IndexPath&) { return kRowHeight; }

int RootViewController::heightForHeaderInSection(TableView&, int) { return kHeaderHeight; }

int RootViewController::heightForFooterInSection(TableView&, int) { return kFooterHeight; }

QString RootViewController::titleForHeaderInSection(TableView&, int) { return QString(); }

TableViewCell* RootViewController::cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    TableViewCell* cell = table.dequeueReusableCell(QStringLiteral("Cell"));
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, QStringLiteral("Cell"));
    cell->setBackgroundColor(Theme::cellBackground());
    const bool arrow = rowHasArrow(indexPath.section, indexPath.row);
    modCell(cell, captionForRow(indexPath.section, indexPath.row), valueForRow(indexPath.section, indexPath.row),
            arrow);
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
    if (indexPath.section == 0) {
        if (indexPath.row == 0)
            showMessageTypeMenu();
        else if (indexPath.row == 1)
            showPersonSelectView();
        else
            showExcludedView();
    } else if (indexPath.row == 0 && !settings_.hideSMS) {
        showDetails();
    }
    table.deselectRowAtIndexPath(indexPath, true);
}

// --- Message-type menu -------------------------------------------------------

void RootViewController::showMessageTypeMenu() {
    if (!messageTypeMenu_)
        messageTypeMenu_ = new ActionSheet(tr("Message Type"), this, tr("Cancel"), QString(),
                                           MessageTypeText::choices(), this);
    messageTypeMenu_->showInView(this);
}

void RootViewController::actionSheetClickedButtonAtIndex(ActionSheet& actionSheet, int buttonIndex) {
    if (&actionSheet != messageTypeMenu_) return;
    // The buttons are counted with Cancel first.
    const int choice = buttonIndex - (actionSheet.cancelButtonIndex() == 0 ? 1 : 0);
    if (choice < 0 || choice > 2 || buttonIndex == actionSheet.cancelButtonIndex()) return;
    settings_.messageType = static_cast<MessageType>(choice);
    updateMessageCount();
    refreshFilterTable();
}

// --- Period highlight --------------------------------------------------------

void RootViewController::buttonHighlighted() {
    for (Label* label : {lblFrom_, lblTo_, rightArrow1_, fromDateString_, toDateString_})
        label->setTextColor(Qt::white);
}

void RootViewController::buttonNormal() {
    lblFrom_->setTextColor(Qt::black);
    lblTo_->setTextColor(Qt::black);
    rightArrow1_->setTextColor(kArrowGrey);
    fromDateString_->setTextColor(Qt::black);
    toDateString_->setTextColor(Qt::black);
}

// --- Navigation --------------------------------------------------------------

void RootViewController::showAboutView() {
    if (!aboutController_) aboutController_ = new AboutViewController(this, this);
    aboutController_->setBackgroundBrush(Theme::groupTableBackground());
    if (navigationController()) navigationController()->pushViewController(aboutController_, true);
}

// Each of these opens the screen of its subsystem; they are filled in as the
// screens arrive.
void RootViewController::datePickView() {
    if (!dvController_) dvController_ = new DateViewController(this, dateFormatter_, this);
    dvController_->setFrom(settings_.from);
    dvController_->setTo(settings_.to);
    if (navigationController()) navigationController()->pushViewController(dvController_, true);
}

void RootViewController::showPreferencesView() {
    if (!pvController_) {
        pvController_ = new PreferencesViewController(this, this);
        pvController_->setBackgroundBrush(Theme::groupTableBackground());
    }
    pvController_->hideSelection();
    pvController_->setSelectionDay(settings_.saveFromDate == MainScreenSettings::kBillingDay ? settings_.cycleDay : 0);
    pvController_->setBadgeType(settings_.badgeType);
    if (navigationController()) navigationController()->pushViewController(pvController_, true);
}

void RootViewController::showPersonSelectView() {
    if (!psController_) psController_ = new PersonSelectViewController(this, this);
    if (navigationController()) navigationController()->pushViewController(psController_, true);
}

void RootViewController::showExcludedView() {
    if (!evController_) evController_ = new ExcludedViewController(this, this);
    // The list always opens out of edit mode.
    evController_->leaveEditAction();
    if (navigationController()) navigationController()->pushViewController(evController_, true);
}

void RootViewController::showDetails() {
    if (!recordController_) recordController_ = RecordViewController::initWithArrayData(tmpData_, this);
    handRecordsToList();
    recordController_->setTitle1(RecordViewController::titleForMessageType(settings_.messageType));
    if (navigationController()) navigationController()->pushViewController(recordController_, true);
}
void RootViewController::handRecordsToList() {
    // Oldest first, as the list expects (it shows the newest on top);
    // records of the same second keep their counted order.
    std::stable_sort(tmpData_.begin(), tmpData_.end(), [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
    recordController_->setData(tmpData_);
}

void RootViewController::showChart() {
    presentSheet(kHudChart);
    // From the event loop a moment later, so that the overlay is on the
    // screen before the counting blocks the thread.
    QTimer::singleShot(kGenerationDelayMs, this, &RootViewController::generateChart);
}

void RootViewController::showReport() {
    presentSheet(kHudReport);
    QTimer::singleShot(kGenerationDelayMs, this, &RootViewController::generateReport);
}

// --- Charts and report -------------------------------------------------------

void RootViewController::generateChart() {
    if (cvController_) {
        cvController_->removeAllSubviews();
    } else {
        cvController_ = new ChartViewController(this);
        connect(cvController_, &ChartViewController::barChartRequested, this, &RootViewController::showBarChart);
    }
    const int total = ChartData::generate(settings_.from, settings_.to, settings_.messageType,
                                          settings_.excludedPersonArray, pArray_, cArray_, tmpData_);
    const QString info =
        ChartViewController::infoText(settings_.messageType, dateFormatter_.stringFromDate(settings_.from),
                                      dateFormatter_.stringFromDate(settings_.to), static_cast<int>(cArray_.size()));
    cvController_->showPie(cArray_, pArray_, total, info);
    cvController_->setBackgroundBrush(Theme::groupTableBackground());
    killHUD();
    if (navigationController()) navigationController()->pushViewController(cvController_, true);
}

void RootViewController::showBarChart() {
    // A new screen each time; it sorts the chart arrays in place and goes
    // away when the user goes back.
    auto* barChart = new BarChartController(this);
    barChart->setBackgroundBrush(Theme::groupTableBackground());
    barChart->init(cArray_, pArray_);
    if (navigationController())
        navigationController()->pushViewController(barChart, true);
    else
        barChart->deleteLater();
}

void RootViewController::generateReport() {
    if (rvController_)
        rvController_->removeAllSubviews();
    else
        rvController_ = new ReportViewController(this);
    rvController_->setBackgroundBrush(Theme::groupTableBackground());
    rvController_->setFrom(settings_.from);
    rvController_->setTo(settings_.to);
    rvController_->initWithData(MonthlyReport::records(settings_.from, settings_.to, settings_.excludedPersonArray),
                                MessageType::Both);
    killHUD();
    if (navigationController()) navigationController()->pushViewController(rvController_, true);
}

// --- Maintenance -------------------------------------------------------------

void RootViewController::showAlert(const QString& title, const QString& message) {
    alertBox_->setTitle(title);
    alertBox_->setMessage(message);
    alertBox_->show();
}

void RootViewController::syncDB() {
    const MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
    if (!outcome.ran) {
        // Without the settings file the markers could not be kept, and every
        // later sync would copy everything again; so nothing was copied.
        showAlert(tr("ERROR!"), tr("The settings file cannot be read, so no new messages were copied."));
    } else if (outcome.status != SyncStatus::Ok) {
        showAlert(tr("ERROR!"), QStringLiteral("%1 : %2").arg(tr("error code")).arg(codeOf(outcome.status)));
    }
}

void RootViewController::confirmClearDB() { confirmEmptyDBBox_->show(); }

void RootViewController::alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) {
    if (alertView.tag() == kConfirmEmptyDBTag && buttonIndex == 1) clearDB();
}

void RootViewController::clearDB() {
    if (!SmsHelper::clearDB()) {
        showAlert(tr("Clear DB"), tr("Some problems have occurred.\nClear DB is not successful"));
        return;
    }
    showAlert(tr("Clear DB"), tr("Clear DB is successful"));
    MarkerSync::resetMarkers();
    settings_.selectedPerson.reset();
    refreshFilterTable();
    saveLastDate();
    showAlert(QStringLiteral("Ledgerwick"), tr("Resyncing with default SMS database"));
    syncDB();
    personArray_.clear();
    SmsHelper::getUniquePerson(personArray_);
    updateMessageCount();
    refreshFilterTable();
}

void RootViewController::presentSheet(int kind) {
    QWidget* over = PhoneWindow::containing(this);
    aHUD_ = new ProgressHUD(over ? over : this);
    aHUD_->show(kind == kHudChart ? tr("Generating Chart. Please wait.") : tr("Generating Report. Please wait."));
}

void RootViewController::killHUD() {
    if (!aHUD_) return;
    aHUD_->hide();
    aHUD_->deleteLater();
    aHUD_ = nullptr;
}
