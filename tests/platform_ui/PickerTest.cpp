#include "UiTestSupport.h"

#include "platform/ui/DatePicker.h"
#include "platform/ui/KitTiming.h"
#include "platform/ui/PickerView.h"

#include <QSignalSpy>
#include <QWheelEvent>

namespace {

// One notch of the mouse wheel over a wheel of the picker; negative turns
// towards later rows.
void turn(PickerView& picker, int component, int notches) {
    const QPointF at = picker.rectForComponent(component).center();
    QWheelEvent event(at, picker.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&picker, &event);
}

// Until every wheel has come to rest, rolling back from a greyed-out row
// included.
void settle() { uitest::letAnimationsFinish(); }

TEST(DatePickerTest, MovingFromMarch31ToAprilClampsTheDayTo30AndEmitsTheChange) {
    DatePicker picker;
    picker.setDate(QDate(2013, 3, 31));
    picker.show();
    QSignalSpy changed(&picker, &DatePicker::dateChanged);
    turn(picker.pickerView(), DatePicker::Month, -1);
    settle();
    EXPECT_EQ(picker.date(), QDate(2013, 4, 30));
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toDate(), QDate(2013, 4, 30));
    EXPECT_EQ(picker.pickerView().selectedRowInComponent(DatePicker::Day), 29);
    EXPECT_EQ(picker.pickerView().enabledRowCount(DatePicker::Day), 30);
}

TEST(DatePickerTest, TheDayWheelRollsBackFromADayTheMonthLacks) {
    DatePicker picker;
    picker.setDate(QDate(2012, 2, 28));
    picker.show();
    QSignalSpy changed(&picker, &DatePicker::dateChanged);
    turn(picker.pickerView(), DatePicker::Day, -2);  // towards 30
    settle();
    EXPECT_EQ(picker.date(), QDate(2012, 2, 29)) << "a leap year's February ends on the 29th";
    EXPECT_EQ(picker.pickerView().selectedRowInComponent(DatePicker::Day), 28);
    EXPECT_EQ(changed.count(), 1);
}

TEST(DatePickerTest, SetDateShowsTheDateWithoutEmitting) {
    DatePicker picker;
    QSignalSpy changed(&picker, &DatePicker::dateChanged);
    picker.setDate(QDate(1999, 12, 5));
    EXPECT_EQ(picker.date(), QDate(1999, 12, 5));
    EXPECT_EQ(picker.pickerView().selectedRowInComponent(DatePicker::Month), 11);
    EXPECT_EQ(picker.pickerView().selectedRowInComponent(DatePicker::Day), 4);
    EXPECT_EQ(
        picker.pickerView().titleForRow(picker.pickerView().selectedRowInComponent(DatePicker::Year), DatePicker::Year),
        "1999");
    EXPECT_EQ(changed.count(), 0);
}

TEST(DatePickerTest, AYearOutsideTheRangeWidensIt) {
    DatePicker picker;
    picker.setYearRange(2000, 2010);
    picker.setDate(QDate(2042, 6, 1));
    EXPECT_EQ(picker.date(), QDate(2042, 6, 1));
    EXPECT_EQ(picker.pickerView().numberOfRowsInComponent(DatePicker::Year), 43);
}

class PickerViewTest : public ::testing::Test {
protected:
    PickerViewTest() {
        QStringList days{"Not Used (Fixed initial date)"};
        for (int day = 1; day <= 31; ++day) days << QString::number(day);
        picker.setRows(0, days);
        picker.show();
    }

    PickerView picker;
};

TEST_F(PickerViewTest, SelectRowInCodeDoesNotAnnounce) {
    QSignalSpy selected(&picker, &PickerView::didSelectRow);
    picker.selectRow(15, 0, false);
    EXPECT_EQ(picker.selectedRowInComponent(0), 15);
    EXPECT_EQ(selected.count(), 0);
}

TEST_F(PickerViewTest, TheMouseWheelTurnsOneRowANotch) {
    QSignalSpy selected(&picker, &PickerView::didSelectRow);
    turn(picker, 0, -3);
    settle();
    EXPECT_EQ(picker.selectedRowInComponent(0), 3);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 3);
    EXPECT_EQ(selected.at(0).at(1).toInt(), 0);
    turn(picker, 0, 10);
    settle();
    EXPECT_EQ(picker.selectedRowInComponent(0), 0) << "stops at the first row";
}

TEST_F(PickerViewTest, DraggingUpBringsLaterRowsToTheBar) {
    // The drag's own clock: a row every 0.3 s, fast enough to coast a row
    // further if let go while moving.
    qint64 now = 0;
    KitTiming::setClockForTesting([&now] { return now; });
    QSignalSpy selected(&picker, &PickerView::didSelectRow);
    const QPoint centre = picker.selectionBarRect().center();
    QTest::mousePress(&picker, Qt::LeftButton, Qt::NoModifier, centre);
    now += 300;
    QTest::mouseMove(&picker, centre - QPoint(0, 44));
    now += 300;
    QTest::mouseMove(&picker, centre - QPoint(0, 88));
    now += 200;  // held still before letting go: no coasting
    QTest::mouseRelease(&picker, Qt::LeftButton, Qt::NoModifier, centre - QPoint(0, 88));
    KitTiming::setClockForTesting({});
    settle();
    EXPECT_EQ(picker.selectedRowInComponent(0), 2);
    EXPECT_EQ(selected.count(), 1);
}

TEST_F(PickerViewTest, ATapOnTheRowBelowTheBarSelectsIt) {
    picker.selectRow(10, 0, false);
    uitest::tap(&picker, picker.selectionBarRect().center() + QPoint(0, 44));
    settle();
    EXPECT_EQ(picker.selectedRowInComponent(0), 11);
}

TEST_F(PickerViewTest, ArrowKeysTurnTheWheel) {
    QTest::keyClick(&picker, Qt::Key_Down);
    QTest::keyClick(&picker, Qt::Key_Down);
    QTest::keyClick(&picker, Qt::Key_Up);
    settle();
    EXPECT_EQ(picker.selectedRowInComponent(0), 1);
}

TEST_F(PickerViewTest, WheelsShareTheWidthByTheirShares) {
    picker.setNumberOfComponents(2);
    picker.setComponentWidths({2, 1});
    const QRect first = picker.rectForComponent(0);
    const QRect second = picker.rectForComponent(1);
    EXPECT_LT(first.right(), second.left());
    EXPECT_NEAR(double(first.width()) / second.width(), 2.0, 0.1);
}

}  // namespace
