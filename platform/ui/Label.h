#pragma once

#include <QColor>
#include <QLabel>

// A text label as the phone's screens use it: placed by a frame in points,
// transparent, one line by default with the tail cut off by an ellipsis, and
// a second text colour shown while the row that holds it is highlighted.
class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);
    Label(const QString& text, const QRect& frame, const QFont& font, QWidget* parent);

    void setTextColor(const QColor& color);
    QColor textColor() const { return textColor_; }
    void setHighlightedTextColor(const QColor& color);
    QColor highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlighted(bool highlighted);
    bool isHighlighted() const { return highlighted_; }

    // 1: one line, cut with an ellipsis; 0: as many lines as the text needs;
    // n: wraps, at most n lines.
    void setNumberOfLines(int lines);
    int numberOfLines() const { return numberOfLines_; }

    // Makes every Label below root show its highlighted colour, or its normal
    // one again; a cell calls it for the labels its screen put into it.
    static void highlightDescendants(QWidget* root, bool highlighted);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyColor();
    // The lines to draw, the last one allowed cut with an ellipsis when the
    // text goes on.
    QStringList wrappedLines(const QFontMetricsF& metrics) const;

    QColor textColor_;
    QColor highlightedTextColor_;
    bool highlighted_ = false;
    int numberOfLines_ = 1;
};
