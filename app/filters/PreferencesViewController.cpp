#include "app/filters/PreferencesViewController.h"

#include "app/filters/EditableDetailCell.h"
#include "app/shell/MainScreenModel.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Theme.h"

#include <QFontMetricsF>
#include <QLineEdit>

#include <array>
#include <climits>

namespace {

// Picker rows in the order the wheel shows them: each direction as a total,
// then as what is left of the quota; "OFF" last.
constexpr std::array<BadgeType, PreferencesViewController::kBadgeTypeCount> kBadgeCodeOfRow{
    BadgeType::Both, BadgeType::QuotaLeftOfBoth, BadgeType::Received, BadgeType::QuotaLeftOfReceived,
    BadgeType::Sent, BadgeType::QuotaLeftOfSent, BadgeType::Off};

// The row captions are padded with spaces to put their value at the right
// end of the row. They get one size a little below the table's, and a
// smaller one when the locale's words run past the row anyway.
constexpr qreal kRowFontSize = 16;
constexpr qreal kSmallestRowFontSize = 12;
constexpr int kTextMargin = 10;

void fitRowText(TableViewCell* cell) {
    Label* label = cell->textLabel();
    int width = Theme::windowWidth - 2 * Theme::groupInset - 2 * kTextMargin;
    if (cell->accessoryType() != TableViewCell::Accessory::None) width -= Theme::accessoryWidth + 4;
    qreal size = kRowFontSize;
    while (size > kSmallestRowFontSize &&
           QFontMetricsF(Theme::boldSystemFont(size)).horizontalAdvance(label->text()) > width)
        size -= 1;
    label->setFont(Theme::boldSystemFont(size));
}

}  // namespace

PreferencesViewController::PreferencesViewController(MainScreenModel* model, QWidget* parent)
    : ViewController(parent), model_(model) {}

void PreferencesViewController::viewDidLoad() {
    setBackgroundBrush(Theme::groupTableBackground());
    tableView_ = new TableView(TableView::Style::Grouped, this);
    tableView_->setGeometry(0, 0, Theme::windowWidth, Theme::contentHeight);
    setTitle(tr("Preferences"));
    buildQuotaCell();
    buildPickers();
    quotaReminder_ = new AlertView(QStringLiteral("Ledgerwick"),
                                   tr("Please remember to fill in the SMS quota to make this feature work properly."),
                                   nullptr, tr("OK"), {}, this);
    tableView_->setDataSource(this);
    tableView_->setDelegate(this);
}

void PreferencesViewController::buildQuotaCell() {
    dataCell_ =
        new EditableDetailCell(TableViewCell::Style::Subtitle, QString(), EditableDetailCell::Layout::Value, this);
    dataCell_->textLabel()->setText(tr("SMS Quota"));
    fitRowText(dataCell_);
    dataCell_->detailTextLabel()->setText(tr("0 or blank for unlimited"));
    dataCell_->textField()->setPlaceholderText(QStringLiteral("e.g 500"));
    dataCell_->setFieldCaption(dataCell_->textLabel()->text(), dataCell_->detailTextLabel()->text());
    if (model_->smsquota() > 0) dataCell_->textField()->setText(QString::number(model_->smsquota()));
    dataCell_->setReturnKeyType(EditableDetailCell::ReturnKeyType::Done);
    connect(dataCell_, &EditableDetailCell::returnPressed, this, &PreferencesViewController::textFieldShouldReturn);
}

void PreferencesViewController::buildPickers() {
    const QRect frame(0, Theme::contentHeight - Theme::pickerHeight, Theme::windowWidth, Theme::pickerHeight);
    daySelector_ = new PickerView(this);
    daySelector_->setGeometry(frame);
    QStringList days{tr("Not Used (Fixed initial date)")};
    for (int day = 1; day < kDayRowCount; ++day) days << dayWithSuffix(day);
    daySelector_->setRows(0, days);
    daySelector_->setAccessibleName(tr("Billing day"));
    // The wheel's value is the day itself; 0 is "Not Used".
    daySelector_->setComponentFirstValue(0, 0);
    connect(daySelector_, &PickerView::didSelectRow, this, [this](int row, int) { dayChosen(row); });

    badgeSelector_ = new PickerView(this);
    badgeSelector_->setGeometry(frame);
    const QString both = tr("Both"), incoming = tr("Incoming"), outgoing = tr("Outgoing");
    const QString total = tr("Total"), left = tr("SMS Left");
    const QString format = QStringLiteral("%1 (%2)");
    badgeSelector_->setRows(
        0, {format.arg(both, total), format.arg(both, left), format.arg(incoming, total), format.arg(incoming, left),
            format.arg(outgoing, total), format.arg(outgoing, left), tr("OFF")});
    badgeSelector_->setAccessibleName(tr("Badge type"));
    connect(badgeSelector_, &PickerView::didSelectRow, this, [this](int row, int) { badgeTypeChosen(row); });
    daySelector_->hide();
    badgeSelector_->hide();
}

// --- Codes and texts -------------------------------------------------------------

BadgeType PreferencesViewController::badgeCodeForRow(int row) {
    if (row < 0 || row >= kBadgeTypeCount) return BadgeType::Off;
    return kBadgeCodeOfRow[static_cast<std::size_t>(row)];
}

int PreferencesViewController::rowForBadgeCode(BadgeType code) {
    for (int row = 0; row < kBadgeTypeCount; ++row)
        if (kBadgeCodeOfRow[static_cast<std::size_t>(row)] == code) return row;
    return -1;
}

QString PreferencesViewController::dayWithSuffix(int day) {
    // Only the last digit counts, so 11, 12 and 13 read 11st, 12nd, 13rd.
    switch (day % 10) {
    case 1: return QString::number(day) + tr("st");
    case 2: return QString::number(day) + tr("nd");
    case 3: return QString::number(day) + tr("rd");
    default: return QString::number(day) + tr("th");
    }
}

int PreferencesViewController::quotaFromText(const QString& text) {
    // The leading decimal number, as a C-style integer read takes it, but
    // saturated instead of overflowing; a negative quota means no quota.
    int i = 0;
    while (i < text.size() && text.at(i).isSpace()) ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) negative = text.at(i++) == u'-';
    long long value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
        value = std::min<long long>(value * 10 + (text.at(i).unicode() - u'0'), INT_MAX);
    return negative ? 0 : static_cast<int>(value);
}

QString PreferencesViewController::billingDayText() const {
    if (model_->cycleDay() == 0) return tr("Billing day of mth       Not Used");
    return tr("Billing day of mth                ") + dayWithSuffix(model_->cycleDay());
}

void PreferencesViewController::fillBadgeRow(TableViewCell* cell) const {
    QString text, detail;
    switch (model_->badgeType()) {
    case BadgeType::Both:
        text = tr("Badge type                        Both");
        detail = tr("Total");
        break;
    case BadgeType::QuotaLeftOfBoth:
        text = tr("Badge type                        Both");
        detail = tr("SMS Left");
        break;
    case BadgeType::Received:
        text = tr("Badge type                Incoming");
        detail = tr("Total");
        break;
    case BadgeType::QuotaLeftOfReceived:
        text = tr("Badge type                Incoming");
        detail = tr("SMS Left");
        break;
    case BadgeType::Sent:
        text = tr("Badge type                Outgoing");
        detail = tr("Total");
        break;
    case BadgeType::QuotaLeftOfSent:
        text = tr("Badge type                Outgoing");
        detail = tr("SMS Left");
        break;
    case BadgeType::Off: text = tr("Badge type                         OFF"); break;
    default: text = tr("Show Badge"); break;
    }
    cell->textLabel()->setText(text);
    cell->detailTextLabel()->setText(detail);
}

// --- Operations the main screen calls ----------------------------------------------

void PreferencesViewController::hideSelection() {
    loadViewIfNeeded();
    daySelector_->hide();
}

void PreferencesViewController::setSelectionDay(int day) {
    loadViewIfNeeded();
    if (day < 0 || day >= kDayRowCount) return;
    daySelector_->selectRow(day, 0, false);
    if (day != 0) tableView_->reloadData();
}

void PreferencesViewController::setBadgeType(BadgeType code) {
    loadViewIfNeeded();
    const int row = rowForBadgeCode(code);
    if (row >= 0) badgeSelector_->selectRow(row, 0, false);
    tableView_->reloadData();
}

void PreferencesViewController::selectDay() { daySelector_->show(); }

void PreferencesViewController::checkQuota() {
    if (model_->smsquota() < 1) quotaReminder_->show();
}

void PreferencesViewController::clearDBEvent() {
    daySelector_->hide();
    emit clearDatabaseRequested();
}

// --- Choices -----------------------------------------------------------------

void PreferencesViewController::dayChosen(int row) {
    model_->setCycleDay(row);
    tableView_->reloadData();
    model_->setSaveFromDate(row == 0 ? MainScreenSettings::PeriodMode::FixedDate
                                     : MainScreenSettings::PeriodMode::BillingDay);
}

void PreferencesViewController::badgeTypeChosen(int row) {
    const BadgeType code = badgeCodeForRow(row);
    model_->setBadgeType(code);
    // Counting down what is left needs a quota; the choice stands either way.
    if (showsQuotaLeft(code)) checkQuota();
    tableView_->reloadData();
}

bool PreferencesViewController::textFieldShouldReturn() {
    // Only the Done key takes the quota; leaving the field any other way
    // keeps the quota the main screen has.
    if (dataCell_->returnKeyType() == EditableDetailCell::ReturnKeyType::Done) {
        model_->setSmsquota(quotaFromText(dataCell_->textField()->text()));
        closeQuotaKeyboard();
        daySelector_->hide();
        badgeSelector_->hide();
    }
    return true;
}

void PreferencesViewController::closeQuotaKeyboard() { dataCell_->resignFirstResponder(); }

// --- Table -------------------------------------------------------------------

int PreferencesViewController::numberOfRowsInSection(TableView&, int) { return kRowCount; }

TableViewCell* PreferencesViewController::cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    if (indexPath.row == kQuotaRow) return dataCell_;
    TableViewCell* cell = table.dequeueReusableCell(QStringLiteral("Cell"));
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Subtitle, QStringLiteral("Cell"));
    cell->setBackgroundColor(Theme::cellBackground());
    cell->detailTextLabel()->setText(QString());
    switch (indexPath.row) {
    case kClearDatabaseRow:
        cell->textLabel()->setText(tr("Clear database"));
        cell->setAccessoryType(TableViewCell::Accessory::None);
        break;
    case kBadgeTypeRow:
        fillBadgeRow(cell);
        cell->setAccessoryType(TableViewCell::Accessory::DisclosureIndicator);
        break;
    case kImportBackupRow:
        cell->textLabel()->setText(tr("Import iPhone Backup"));
        cell->setAccessoryType(TableViewCell::Accessory::DisclosureIndicator);
        break;
    default:
        cell->textLabel()->setText(billingDayText());
        cell->setAccessoryType(TableViewCell::Accessory::DisclosureIndicator);
        break;
    }
    fitRowText(cell);
    return cell;
}

void PreferencesViewController::didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) {
    switch (indexPath.row) {
    case kClearDatabaseRow:
        daySelector_->hide();
        badgeSelector_->hide();
        closeQuotaKeyboard();
        clearDBEvent();
        break;
    case kBadgeTypeRow:
        daySelector_->hide();
        closeQuotaKeyboard();
        badgeSelector_->show();
        break;
    case kImportBackupRow:
        daySelector_->hide();
        badgeSelector_->hide();
        closeQuotaKeyboard();
        emit importBackupRequested();
        break;
    case kQuotaRow:
        // The cell opens its field for typing itself.
        daySelector_->hide();
        badgeSelector_->hide();
        break;
    default:
        daySelector_->show();
        badgeSelector_->hide();
        closeQuotaKeyboard();
        selectDay();
        break;
    }
    table.deselectRowAtIndexPath(indexPath, true);
}
