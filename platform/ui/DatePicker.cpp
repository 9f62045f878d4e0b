#include "platform/ui/DatePicker.h"

#include "platform/ui/PickerView.h"
#include "platform/ui/Theme.h"

#include <QLocale>

DatePicker::DatePicker(QWidget* parent) : QWidget(parent), m_picker(new PickerView(this)), m_date(QDate::currentDate()) {
    resize(sizeHint());
    m_picker->setNumberOfComponents(3);
    QStringList months;
    for (int month = 1; month <= 12; ++month)
        months << QLocale().standaloneMonthName(month, QLocale::LongFormat);
    m_picker->setRows(Month, months);
    QStringList days;
    for (int day = 1; day <= 31; ++day)
        days << QString::number(day);
    m_picker->setRows(Day, days);
    m_picker->setComponentWidths({150, 62, 90});
    m_picker->setComponentAlignment(Month, Qt::AlignLeft);
    m_picker->setComponentAlignment(Day, Qt::AlignRight);
    m_picker->setComponentAccessibleName(Month, tr("Month"));
    m_picker->setComponentAccessibleName(Day, tr("Day"));
    m_picker->setComponentAccessibleName(Year, tr("Year"));
    fillYears();
    showDate(false);
    connect(m_picker, &PickerView::didSelectRow, this, &DatePicker::onRowSelected);
}

QSize DatePicker::sizeHint() const {
    return QSize(Theme::windowWidth, Theme::pickerHeight);
}

void DatePicker::resizeEvent(QResizeEvent*) {
    m_picker->setGeometry(rect());
}

void DatePicker::setDate(const QDate& date, bool animated) {
    if (!date.isValid())
        return;
    m_date = date;
    if (date.year() < m_firstYear || date.year() > m_lastYear)
        setYearRange(qMin(m_firstYear, date.year()), qMax(m_lastYear, date.year()));
    showDate(animated);
}

void DatePicker::setYearRange(int first, int last) {
    m_firstYear = qMin(first, last);
    m_lastYear = qMax(first, last);
    fillYears();
    showDate(false);
}

void DatePicker::fillYears() {
    QStringList years;
    for (int year = m_firstYear; year <= m_lastYear; ++year)
        years << QString::number(year);
    m_picker->setRows(Year, years);
}

void DatePicker::showDate(bool animated) {
    m_picker->setEnabledRowCount(Day, m_date.daysInMonth());
    m_picker->selectRow(m_date.month() - 1, Month, animated);
    m_picker->selectRow(m_date.day() - 1, Day, animated);
    m_picker->selectRow(m_date.year() - m_firstYear, Year, animated);
}

void DatePicker::onRowSelected(int, int component) {
    const int year = m_firstYear + m_picker->selectedRowInComponent(Year);
    const int month = m_picker->selectedRowInComponent(Month) + 1;
    const int daysInMonth = QDate(year, month, 1).daysInMonth();
    const int day = qMin(m_picker->selectedRowInComponent(Day) + 1, daysInMonth);
    const QDate chosen(year, month, day);
    m_picker->setEnabledRowCount(Day, daysInMonth);
    // The day wheel follows a month too short for it.
    if (component != Day && m_picker->selectedRowInComponent(Day) != day - 1)
        m_picker->selectRow(day - 1, Day, true);
    if (chosen == m_date)
        return;
    m_date = chosen;
    emit dateChanged(chosen);
}
