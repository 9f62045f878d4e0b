#include "platform/ui/DatePicker.h"

#include "platform/ui/PickerView.h"
#include "platform/ui/Theme.h"

#include <QLocale>

DatePicker::DatePicker(QWidget* parent) : QWidget(parent), picker_(new PickerView(this)), date_(QDate::currentDate()) {
    resize(sizeHint());
    picker_->setNumberOfComponents(3);
    QStringList months;
    for (int month = 1; month <= 12; ++month) months << QLocale().standaloneMonthName(month, QLocale::LongFormat);
    picker_->setRows(Month, months);
    QStringList days;
    for (int day = 1; day <= 31; ++day) days << QString::number(day);
    picker_->setRows(Day, days);
    picker_->setComponentWidths({150, 62, 90});
    picker_->setComponentAlignment(Month, Qt::AlignLeft);
    picker_->setComponentAlignment(Day, Qt::AlignRight);
    picker_->setComponentAccessibleName(Month, tr("Month"));
    picker_->setComponentAccessibleName(Day, tr("Day"));
    picker_->setComponentAccessibleName(Year, tr("Year"));
    // Month and day are read as their numbers, the year as itself.
    picker_->setComponentFirstValue(Month, 1);
    picker_->setComponentFirstValue(Day, 1);
    fillYears();
    showDate(false);
    connect(picker_, &PickerView::didSelectRow, this, &DatePicker::onRowSelected);
}

QSize DatePicker::sizeHint() const { return QSize(Theme::windowWidth, Theme::pickerHeight); }

void DatePicker::resizeEvent(QResizeEvent*) { picker_->setGeometry(rect()); }

void DatePicker::setDate(const QDate& date, bool animated) {
    if (!date.isValid()) return;
    date_ = date;
    if (date.year() < firstYear_ || date.year() > lastYear_)
        setYearRange(qMin(firstYear_, date.year()), qMax(lastYear_, date.year()));
    showDate(animated);
}

void DatePicker::setYearRange(int first, int last) {
    firstYear_ = qMin(first, last);
    lastYear_ = qMax(first, last);
    fillYears();
    showDate(false);
}

void DatePicker::fillYears() {
    QStringList years;
    for (int year = firstYear_; year <= lastYear_; ++year) years << QString::number(year);
    picker_->setRows(Year, years);
    picker_->setComponentFirstValue(Year, firstYear_);
}

void DatePicker::showDate(bool animated) {
    picker_->setEnabledRowCount(Day, date_.daysInMonth());
    picker_->selectRow(date_.month() - 1, Month, animated);
    picker_->selectRow(date_.day() - 1, Day, animated);
    picker_->selectRow(date_.year() - firstYear_, Year, animated);
}

void DatePicker::onRowSelected(int, int component) {
    const int year = firstYear_ + picker_->selectedRowInComponent(Year);
    const int month = picker_->selectedRowInComponent(Month) + 1;
    const int daysInMonth = QDate(year, month, 1).daysInMonth();
    const int day = qMin(picker_->selectedRowInComponent(Day) + 1, daysInMonth);
    const QDate chosen(year, month, day);
    picker_->setEnabledRowCount(Day, daysInMonth);
    // The day wheel follows a month too short for it.
    if (component != Day && picker_->selectedRowInComponent(Day) != day - 1) picker_->selectRow(day - 1, Day, true);
    if (chosen == date_) return;
    date_ = chosen;
    emit dateChanged(chosen);
}
