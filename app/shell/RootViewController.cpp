#include "app/shell/RootViewController.h"

#include "app/charts/ChartViewController.h"
#include "app/charts/MonthlyReport.h"
#include "app/charts/ReportViewController.h"
#include "app/filters/DateViewController.h"
#include "app/filters/ExcludedViewController.h"
#include "app/filters/PersonSelectViewController.h"
#include "app/filters/PreferencesViewController.h"
#include "app/list/MessageStore.h"
#include "app/list/RecordViewController.h"
#include "app/shell/AboutViewController.h"
#include "app/shell/Artwork.h"
#include "app/shell/BackgroundWork.h"
#include "app/shell/MessageTypeText.h"
#include "app/shell/PeriodButton.h"
#include "common/CounterStore.h"
#include "common/MarkerSync.h"
#include "common/PersonTotals.h"
#include "common/PhoneProfile.h"
#include "common/SettingsStore.h"
#include "platform/BundleIdentifier.h"
#include "platform/DevicePaths.h"
#include "platform/FileIdentity.h"
#include "platform/ProgramLog.h"
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

#include <QLocale>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kRowHeight = 40;
constexpr int kHeaderHeight = 1;
constexpr int kFooterHeight = 5;
constexpr int kHudChart = 0;
constexpr int kHudReport = 1;
const QString kModCellLabel = QStringLiteral("modCell");
// What "Total Messages" and "Messages Left" show when the count failed.
const QString kNoCount = QStringLiteral("\u2013");

// The arrows' grey: the period arrow's resting colour, which the table's
// arrows take over.
const QColor kArrowGrey(90, 90, 90);

void setBadge(int value) { IconBadge::setBadge(QString::fromUtf8(kBundleIdentifier), value); }

// The people of the counter database, for the person filter; nobody, and one
// line on standard error, when it cannot be read.
std::vector<Person> peopleOfCounterStore() {
    Counted<std::vector<Person>> persons = CounterStore::forCurrentPhone().getUniquePerson();
    if (persons) return std::move(persons.value());
    ProgramLog::failure("listing the people of the counter database", persons.failure());
    return {};
}

std::function<void(int)>& iconBadgeSetter() {
    static std::function<void(int)> setter = setBadge;
    return setter;
}

}  // namespace

RootViewController::RootViewController(QWidget* parent, Clock clock)
    : ViewController(parent), clock_(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })),
      model_(new MainScreenModel(this)), work_(new BackgroundWork(this)) {
    connect(model_, &MainScreenModel::changed, this, &RootViewController::modelChanged);
    connect(model_, &MainScreenModel::countChanged, this, &RootViewController::refreshFilterTable);
}

RootViewController::~RootViewController() {
    // The work holds copies only, but its results must not outlive the
    // screens they were meant for.
    work_->waitForDone();
    // Except the badge of the last save: on quit the event loop that would
    // have delivered it has ended, and the badge must still be set.
    if (pendingBadge_ && *pendingBadge_) iconBadgeSetter()(**pendingBadge_);
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
    // The people of the counter database, for the person filter: a group
    // over every address, too long for the UI thread on a large database.
    ++pendingLoads_;
    work_->run<std::vector<Person>>([] { return peopleOfCounterStore(); },
                                    [this](std::vector<Person> persons) {
                                        --pendingLoads_;
                                        model_->setPersonArray(std::move(persons));
                                    });
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
    // A box of its own: a failed count follows a failed sync's alert, and
    // must not replace its text.
    countFailureBox_ = new AlertView(tr("ERROR!"), QString(), this, tr("OK"), {}, this);
    countFailureBox_->setTag(kAlertBoxTag);
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
    // The period needs no database: show it at once, so the first paint
    // never shows a period that is not the user's. (Before contentLoaded_,
    // the model's change starts no count: that waits for the sync.)
    if (!periodShown_) {
        const auto stored = SettingsStore::load();
        model_->loadPeriod(stored ? &*stored : nullptr, clock_());
        updateDateStrings();
        periodShown_ = true;
    }
    contentLoaded_ = true;
    // The sync copies what is new since the last (at launch, possibly a
    // lot) off the UI thread; the period and the count follow it.
    ++pendingLoads_;
    ++pendingSyncs_;
    work_->run<MarkerSync::Outcome>([] { return MarkerSync::syncWithStoredMarkers(); },
                                    [this](MarkerSync::Outcome outcome) {
                                        --pendingLoads_;
                                        --pendingSyncs_;
                                        showSyncOutcome(outcome);
                                        loadPeriodAndCount();
                                    });
}

void RootViewController::loadPeriodAndCount() {
    const auto stored = SettingsStore::load();
    model_->loadPeriod(stored ? &*stored : nullptr, clock_());
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
    fromDateString_->setText(dateFormatter_.stringFromDate(model_->from()));
    toDateString_->setText(dateFormatter_.stringFromDate(model_->to()));
}

void RootViewController::modelChanged() {
    // Launch counts once the period is known, not while it sets up.
    if (!contentLoaded_) return;
    updateDateStrings();
    updateMessageCount();
    refreshFilterTable();
}

void RootViewController::refreshFilterTable() { filterTableView_->reloadData(); }

// Everything a count depends on. The screen recounts each time it is shown;
// when none of this changed since the last count (launch shows the screen
// right after counting), the last result stands, which keeps a launch on a
// large database from counting everything twice.
RootViewController::CountInputs RootViewController::currentCountInputs() const {
    CountInputs inputs;
    const MainScreenSettings& settings = model_->settings();
    inputs.from = settings.from;
    inputs.to = settings.to;
    inputs.messageType = settings.messageType;
    auto describe = [](const Person& person) {
        std::string text = std::to_string(person.recordID()) + '\x1f' + person.name();
        for (const auto& number : person.numSet()) text += '\x1f' + number;
        return text + '\x1e';
    };
    if (settings.selectedPerson) inputs.people.append("P").append(describe(*settings.selectedPerson));
    for (const Person& person : settings.excludedPersonArray) inputs.people.append("X").append(describe(person));
    inputs.counterDatabase = FileIdentity::of(PhoneProfile::find().counterDatabase());
    inputs.addressBook = FileIdentity::of(DevicePaths::addressBook());
    return inputs;
}

void RootViewController::updateMessageCount() {
    // A count while a sync runs would count the database before the sync's
    // copies and show a number that was never right (a 0 at launch); the
    // sync's end counts again, with whatever the filters are by then.
    if (pendingSyncs_ > 0) return;
    CountInputs inputs = currentCountInputs();
    // File times are the system's, whatever clock the screen runs on.
    const auto now = std::chrono::system_clock::now();
    // A file changed within the clock's last tick may change again unseen.
    const bool settled = !inputs.counterDatabase.isRecent(now) && !inputs.addressBook.isRecent(now);
    // The last count (shown or under way) stands while nothing it depends on
    // changed; a failed one is tried again, since what made it fail (a lock
    // held too long, a file being replaced) may have passed.
    if (settled && lastCountInputs_ && *lastCountInputs_ == inputs && !model_->countFailed()) return;
    lastCountInputs_ = std::move(inputs);
    const std::uint64_t sequence = ++countSequence_;
    // The work gets its own copies: the screens may change the model while
    // it runs.
    const MainScreenSettings& settings = model_->settings();
    work_->run<ScreenCount>(
        [type = settings.messageType, from = settings.from, to = settings.to, person = settings.selectedPerson,
         excluded = settings.excludedPersonArray] {
            ScreenCount result;
            // For both: received first, then sent, into the same list.
            result.count = CounterStore::forCurrentPhone().countMessages(
                type, Direction::Received, from, to, person ? &*person : nullptr, &excluded, &result.records);
            // Oldest first, as the list expects (it shows the newest on top);
            // records of the same second keep their counted order.
            std::stable_sort(result.records.begin(), result.records.end(),
                             [](const Sms& a, const Sms& b) { return a.compare(b) < 0; });
            return result;
        },
        [this, sequence](ScreenCount result) { showCount(sequence, std::move(result)); });
}

void RootViewController::showCount(std::uint64_t sequence, ScreenCount result) {
    if (sequence != countSequence_) return;  // a newer count is under way
    shownCountSequence_ = sequence;
    if (!result.count) {
        // No total, and so no messages behind one: the list is emptied
        // rather than left with the records of an older count.
        recordController_->setData({});
        model_->setCountFailure(result.count.failure());
        showCountFailure(result.count.failure());
        return;
    }
    countFailureShown_ = false;
    // The list may be open (an activation recounts under it): it gets the
    // records behind the new total at once.
    recordController_->setData(std::move(result.records));
    model_->setMessageCount(result.count.value());
}

void RootViewController::showCountFailure(const std::string& reason) {
    if (countFailureShown_) return;
    countFailureShown_ = true;
    ProgramLog::failure("counting the messages of the period", reason);
    countFailureBox_->setMessage(
        tr("The messages cannot be counted, so no total is shown: %1").arg(QString::fromStdString(reason)));
    countFailureBox_->show();
}

void RootViewController::saveLastDate() {
    // As the settings' own save does, but the badge's count, a read over the
    // whole period, runs off the UI thread; the settings file is written at
    // once, since the next activation reads it back.
    iconBadgeSetter()(0);
    model_->storeLastDate(clock_());
    auto saved = std::make_shared<const MainScreenSettings>(model_->settings());
    const std::uint64_t sequence = ++badgeSequence_;
    pendingBadge_.reset();
    if (saved->badgeType == BadgeType::Off) return;
    // Filled by the work, read here only once the work is done.
    auto counted = std::make_shared<std::optional<int>>();
    pendingBadge_ = counted;
    // A count that fails leaves the 0 the save has just set.
    work_->run<std::optional<int>>(
        [counted, saved] {
            if (const Counted<int> count = saved->badgeCount()) *counted = count.value();
            return *counted;
        },
        [this, sequence](std::optional<int> count) {
            if (sequence != badgeSequence_) return;  // a later save counts again
            pendingBadge_.reset();
            if (count) iconBadgeSetter()(*count);
        });
}

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
        return MessageTypeText::choice(model_->messageType());
    }
    if (section == 0 && row == 1)
        return model_->selectedPerson() ? QString::fromStdString(model_->selectedPerson()->name()) : tr("All");
    if (section == 0)
        return model_->excludedPersonArray().empty()
                   ? tr("None")
                   : QString::fromStdString(model_->excludedPersonArray().front().name());
    if (!model_->hasMessageCount()) return QString();
    // A count that failed has no number; the dash is no "-" of "no quota".
    if (model_->countFailed()) return kNoCount;
    if (row == 0) return QString::number(model_->messageCount());
    const int left = model_->messagesLeft();
    return left < 0 ? QStringLiteral("-") : QString::number(left);
}

bool RootViewController::rowHasArrow(int section, int row) const {
    if (section == 0) return true;
    return row == 0 && !model_->hideSMS();
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
    } else if (indexPath.row == 0 && !model_->hideSMS()) {
        showDetails();
    }
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
        pvController_->setBackgroundBrush(Theme::groupTableBackground());
    }
    pvController_->hideSelection();
    pvController_->setSelectionDay(model_->saveFromDate() == MainScreenSettings::kBillingDay ? model_->cycleDay() : 0);
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

void RootViewController::showChart() {
    presentSheet(kHudChart);
    generateChart();
}

void RootViewController::showReport() {
    presentSheet(kHudReport);
    generateReport();
}

// --- Charts and report -------------------------------------------------------

namespace {

struct ChartResult {
    std::vector<Person> persons;
    std::vector<int> counts;
    std::vector<Sms> records;
    int total = 0;
};

struct ReportResult {
    std::vector<MonthlyReport::MonthRow> months;
};

}  // namespace

void RootViewController::generateChart() {
    const std::uint64_t sequence = ++chartSequence_;
    const MainScreenSettings& settings = model_->settings();
    const MessageType type = settings.messageType;
    const QString from = dateFormatter_.stringFromDate(settings.from);
    const QString to = dateFormatter_.stringFromDate(settings.to);
    work_->run<ChartResult>(
        [type, from = settings.from, to = settings.to, excluded = settings.excludedPersonArray] {
            ChartResult result;
            CounterStore store = CounterStore::forCurrentPhone();
            const Counted<int> total =
                PersonTotals::generate(store, from, to, type, excluded, result.persons, result.counts, result.records);
            // The chart draws what could be counted; the line says why the rest could not.
            if (!total) ProgramLog::failure("counting the messages per person", total.failure());
            result.total = total.valueOr(0);
            return result;
        },
        [this, sequence, type, from, to](ChartResult result) {
            if (sequence != chartSequence_) return;
            if (!cvController_) cvController_ = new ChartViewController(this);
            const QString info = ChartViewController::infoText(type, from, to, static_cast<int>(result.counts.size()));
            cvController_->showChart(std::move(result.persons), std::move(result.counts), std::move(result.records),
                                     result.total, info);
            cvController_->setBackgroundBrush(Theme::groupTableBackground());
            killHUD();
            if (navigationController()) navigationController()->pushViewController(cvController_, true);
        });
}

void RootViewController::generateReport() {
    const std::uint64_t sequence = ++reportSequence_;
    const MainScreenSettings& settings = model_->settings();
    const std::time_t from = settings.from, to = settings.to;
    work_->run<ReportResult>(
        // The locale is read here, on the UI thread, where it is set.
        [from, to, excluded = settings.excludedPersonArray, locale = QLocale()] {
            CounterStore store = CounterStore::forCurrentPhone();
            return ReportResult{MonthlyReport::months(MonthlyReport::records(store, from, to, excluded), locale)};
        },
        [this, sequence, from, to](ReportResult result) {
            if (sequence != reportSequence_) return;
            if (rvController_)
                rvController_->removeAllSubviews();
            else
                rvController_ = new ReportViewController(this);
            rvController_->setBackgroundBrush(Theme::groupTableBackground());
            rvController_->setFrom(from);
            rvController_->setTo(to);
            rvController_->initWithMonths(result.months, MessageType::Both);
            killHUD();
            if (navigationController()) navigationController()->pushViewController(rvController_, true);
        });
}

// --- Maintenance -------------------------------------------------------------

void RootViewController::showAlert(const QString& title, const QString& message) {
    alertBox_->setTitle(title);
    alertBox_->setMessage(message);
    alertBox_->show();
}

void RootViewController::syncDB() { showSyncOutcome(MarkerSync::syncWithStoredMarkers()); }

void RootViewController::showSyncOutcome(const MarkerSync::Outcome& outcome) {
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
    // Delete, marker reset and resync happen under one hold of the data
    // lock, so a sync of the daemon cannot slip in between and have its
    // messages copied twice. All of it, and the person list of the resynced
    // database, runs off the UI thread: a resync copies every message again.
    ++pendingLoads_;
    ++pendingSyncs_;
    work_->run<ClearResult>(
        [] {
            ClearResult result{MarkerSync::clearAndResync(), {}};
            if (result.outcome.cleared) result.persons = peopleOfCounterStore();
            return result;
        },
        [this](ClearResult result) {
            --pendingLoads_;
            --pendingSyncs_;
            showClearOutcome(result.outcome, std::move(result.persons));
        });
}

void RootViewController::showClearOutcome(const MarkerSync::ClearOutcome& outcome, std::vector<Person> persons) {
    if (!outcome.cleared) {
        showAlert(tr("Clear DB"), tr("Some problems have occurred.\nClear DB is not successful"));
        return;
    }
    showAlert(tr("Clear DB"), tr("Clear DB is successful"));
    model_->setSelectedPerson(std::nullopt);
    saveLastDate();
    showAlert(QStringLiteral("Ledgerwick"), tr("Resyncing with default SMS database"));
    showSyncOutcome(outcome.sync);
    // The new list recounts against the resynced database and redraws.
    model_->setPersonArray(std::move(persons));
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
