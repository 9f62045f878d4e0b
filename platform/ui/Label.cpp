#include "platform/ui/Label.h"

#include "platform/ui/Theme.h"

#include <QPainter>
#include <QTextLayout>

Label::Label(QWidget* parent)
    : QLabel(parent), textColor_(Theme::textColor()), highlightedTextColor_(Theme::highlightedTextColor()) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFont(Theme::systemFont(17));
    // Labels never take a click: the row or button under them does.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    applyColor();
}

Label::Label(const QString& text, const QRect& frame, const QFont& font, QWidget* parent) : Label(parent) {
    setText(text);
    setGeometry(frame);
    setFont(font);
}

void Label::setTextColor(const QColor& color) {
    textColor_ = color;
    applyColor();
}

void Label::setHighlightedTextColor(const QColor& color) {
    highlightedTextColor_ = color;
    applyColor();
}

void Label::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    applyColor();
}

void Label::setNumberOfLines(int lines) {
    numberOfLines_ = lines;
    setWordWrap(lines != 1);
    update();
}

void Label::highlightDescendants(QWidget* root, bool highlighted) {
    for (Label* label : root->findChildren<Label*>()) label->setHighlighted(highlighted);
}

void Label::applyColor() {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, highlighted_ ? highlightedTextColor_ : textColor_);
    setPalette(palette);
}

QStringList Label::wrappedLines(const QFontMetricsF& metrics) const {
    const QString full = text();
    const qreal available = width();
    if (numberOfLines_ == 1) {
        const qsizetype lineEnd = full.indexOf(QLatin1Char('\n'));
        if (lineEnd < 0) return {metrics.elidedText(full, Qt::ElideRight, available)};
        // A line break in a one-line label ends what is shown, as the rest would.
        const QString firstLine = full.left(lineEnd) + QChar(0x2026);
        return {metrics.elidedText(firstLine, Qt::ElideRight, available)};
    }
    QString paragraphs = full;
    paragraphs.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(paragraphs, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(available);
        const bool lastAllowed = lines.size() + 1 == numberOfLines_;
        const bool textGoesOn = line.textStart() + line.textLength() < paragraphs.size();
        if (lastAllowed && textGoesOn) {
            QString rest = full.mid(line.textStart());
            rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
            lines << metrics.elidedText(rest, Qt::ElideRight, available);
            break;
        }
        lines << paragraphs.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

void Label::paintEvent(QPaintEvent* event) {
    if (!pixmap().isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    // Lays the text out line by line so that the last line allowed ends in an
    // ellipsis instead of being clipped mid-glyph.
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetricsF metrics(font());
    const QStringList lines = wrappedLines(metrics);
    const qreal lineHeight = metrics.height();
    const qreal blockHeight = lineHeight * lines.size();
    qreal y = (alignment() & Qt::AlignTop)      ? 0
              : (alignment() & Qt::AlignBottom) ? height() - blockHeight
                                                : (height() - blockHeight) / 2;
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    for (const QString& line : lines) {
        painter.drawText(QRectF(0, y, width(), lineHeight), int(horizontal | Qt::AlignVCenter), line);
        y += lineHeight;
    }
}
