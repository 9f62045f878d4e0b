#pragma once

// Helpers shared by the UI kit's tests: taps and drags on widgets, letting
// animations run out, and saving screenshots for a look by eye.

#include "support/UiWait.h"

#include <QDir>
#include <QPixmap>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace uitest {

// Until every slide, fade and settling wheel has ended.
inline void letAnimationsFinish() { EXPECT_TRUE(uiwait::settle()) << "an animation never ended"; }

inline void tap(QWidget* widget, QPoint position) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, position);
}

inline void tap(QWidget* widget) { tap(widget, widget->rect().center()); }

inline void drag(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    const int steps = 6;
    for (int step = 1; step <= steps; ++step) {
        QTest::mouseMove(widget, from + (to - from) * step / steps, 5);
    }
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

inline QString screenshotPath(const QString& name) {
    const QString directory = QStringLiteral(BRINDLEX_UI_SCREENSHOT_DIR);
    QDir().mkpath(directory);
    return directory + QLatin1Char('/') + name + QStringLiteral(".png");
}

inline void saveScreenshot(QWidget& widget, const QString& name) {
    EXPECT_TRUE(widget.grab().save(screenshotPath(name))) << name.toStdString();
}

// A colour is "dark" when its brightness is below a third of the range.
inline bool isDark(QRgb pixel) { return qGray(pixel) < 85; }

}  // namespace uitest
