#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QString>

// Every colour, font and measure of the phone look, in one place, so that the
// kit's widgets and the app's screens agree. Measures are points of the
// 320 x 480 window; one point is one pixel.
class Theme {
public:
    // Window and bars.
    static constexpr int windowWidth = 320;
    static constexpr int windowHeight = 480;
    static constexpr int navigationBarHeight = 44;
    static constexpr int contentHeight = windowHeight - navigationBarHeight;

    // Tables.
    static constexpr int defaultRowHeight = 44;
    static constexpr int groupInset = 10;
    static constexpr int groupCornerRadius = 8;
    static constexpr int cellMargin = 10;
    static constexpr int accessoryWidth = 20;
    static constexpr int editingControlWidth = 32;
    static constexpr int plainHeaderHeight = 22;
    static constexpr int groupedHeaderHeight = 46;
    static constexpr int groupedFooterHeight = 10;
    static constexpr int groupedTopPadding = 10;

    // Pickers.
    static constexpr int pickerHeight = 216;
    static constexpr int pickerRowHeight = 44;

    // Fonts: the fontconfig "sans-serif" face, sized in pixels like the
    // phone's points, semi-condensed where the face offers it so that texts
    // laid out for a narrow phone face still fit their frames.
    static QFont systemFont(qreal points);
    static QFont boldSystemFont(qreal points);
    // A named face of the phone ("Helvetica-Bold", "Arial") mapped onto the
    // system face; only the weight is taken from the name.
    static QFont fontNamed(const QString& name, qreal points);

    // Text.
    static QColor textColor() { return QColor(0, 0, 0); }
    static QColor highlightedTextColor() { return QColor(255, 255, 255); }
    static QColor valueDetailColor() { return QColor(56, 84, 135); }
    static QColor subtitleDetailColor() { return QColor(128, 128, 128); }
    static QColor placeholderColor() { return QColor(179, 179, 179); }
    static QColor disclosureColor() { return QColor(128, 128, 128); }
    static QColor checkmarkColor() { return QColor(50, 79, 133); }
    static QColor groupedHeaderTextColor() { return QColor(76, 86, 108); }
    static QColor disabledRowTextColor() { return QColor(170, 170, 170); }
    static QColor linkBlue() { return QColor(0, 0, 255); }
    // The ring around what has the keyboard focus: stands out on white, on
    // the blue selection and on the dark bar and pickers alike.
    static QColor focusRingColor() { return QColor(255, 149, 0); }

    // Table surfaces.
    static QColor cellBackground() { return QColor(255, 255, 255); }
    static QColor groupBorder() { return QColor(171, 171, 171); }
    static QColor groupShadow() { return QColor(255, 255, 255, 150); }
    static QColor plainSeparator() { return QColor(224, 224, 224); }
    static QColor selectionTop() { return QColor(5, 140, 245); }
    static QColor selectionBottom() { return QColor(1, 93, 230); }
    static QColor graySelectionTop() { return QColor(210, 210, 210); }
    static QColor graySelectionBottom() { return QColor(180, 180, 180); }
    static QColor plainHeaderTop() { return QColor(146, 160, 172); }
    static QColor plainHeaderBottom() { return QColor(184, 193, 200); }
    // The grouped-table background: fine vertical pinstripes of grey-blue.
    static QBrush groupTableBackground();
    static QColor groupTableBackgroundColor() { return QColor(197, 204, 212); }

    // Navigation bar and its buttons.
    static QColor navigationBarTop() { return QColor(176, 188, 205); }
    static QColor navigationBarBottom() { return QColor(109, 132, 162); }
    static QColor navigationBarHighlight() { return QColor(205, 213, 223); }
    static QColor navigationBarBottomLine() { return QColor(45, 54, 66); }
    static QColor navigationTitleShadow() { return QColor(0, 0, 0, 110); }
    static QColor barButtonTop() { return QColor(130, 150, 178); }
    static QColor barButtonBottom() { return QColor(80, 106, 142); }
    static QColor barButtonBorder() { return QColor(52, 68, 92); }
    static QColor doneButtonTop() { return QColor(104, 155, 236); }
    static QColor doneButtonBottom() { return QColor(31, 94, 214); }
    static QColor doneButtonBorder() { return QColor(27, 58, 128); }

    // Red of destructive actions and of the delete controls.
    static QColor destructiveTop() { return QColor(232, 108, 108); }
    static QColor destructiveBottom() { return QColor(192, 23, 26); }
    static QColor destructiveBorder() { return QColor(120, 16, 18); }
    static QColor insertTop() { return QColor(120, 205, 90); }
    static QColor insertBottom() { return QColor(48, 150, 32); }

    // Alerts, action sheets, progress overlay.
    static QColor dimming() { return QColor(0, 0, 0, 100); }
    static QColor alertPanelTop() { return QColor(38, 62, 118, 235); }
    static QColor alertPanelBottom() { return QColor(6, 22, 66, 235); }
    static QColor alertPanelBorder() { return QColor(235, 238, 245, 235); }
    static QColor alertButtonTop() { return QColor(120, 140, 185, 200); }
    static QColor alertButtonBottom() { return QColor(38, 58, 108, 200); }
    static QColor alertCancelButtonTop() { return QColor(80, 96, 132, 200); }
    static QColor alertCancelButtonBottom() { return QColor(20, 34, 72, 200); }
    static QColor sheetTop() { return QColor(92, 104, 125, 235); }
    static QColor sheetBottom() { return QColor(40, 48, 62, 235); }
    static QColor hudBox() { return QColor(0, 0, 0, 190); }

    // Rounded-rect buttons of the screens.
    static QColor buttonBorder() { return QColor(160, 168, 180); }
    static QColor buttonText() { return QColor(50, 79, 133); }
};
