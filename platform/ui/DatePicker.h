#pragma once

#include <QDate>
#include <QWidget>

class PickerView;

// The phone's date picker: three wheels, month name, day and year. Days the
// month does not have are greyed out; a date on one rolls back to the
// month's last day (31 becomes 30 when April comes round). dateChanged() is
// emitted when the user changes the date; setDate() does not emit it.
class DatePicker : public QWidget {
    Q_OBJECT
public:
    enum Component { Month = 0, Day = 1, Year = 2 };

    explicit DatePicker(QWidget* parent = nullptr);

    QDate date() const { return date_; }
    void setDate(const QDate& date, bool animated = false);
    // The years offered; a date outside widens the range.
    void setYearRange(int first, int last);
    PickerView& pickerView() const { return *picker_; }

    QSize sizeHint() const override;

signals:
    void dateChanged(const QDate& date);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillYears();
    void showDate(bool animated);
    void onRowSelected(int row, int component);

    PickerView* picker_;
    QDate date_;
    int firstYear_ = 1900;
    int lastYear_ = 2100;
};
