#include "platform/ui/TextFieldCell.h"

#include "platform/ui/Theme.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>

namespace {

QIcon clearIcon() {
    // A grey disc with a white cross, drawn at twice the size for crispness.
    QPixmap pixmap(38, 38);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(170, 170, 170));
    painter.drawEllipse(QRectF(3, 3, 32, 32));
    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(13, 13), QPointF(25, 25));
    painter.drawLine(QPointF(25, 13), QPointF(13, 25));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

TextFieldCell::TextFieldCell(Style style, const QString& reuseIdentifier, QWidget* parent)
    : TableViewCell(style, reuseIdentifier, parent), m_textField(new QLineEdit(this)) {
    setSelectionStyle(SelectionStyle::None);
    m_textField->setObjectName(QStringLiteral("textField"));
    m_textField->setFrame(false);
    m_textField->setFont(Theme::systemFont(15));
    m_textField->setTextMargins(0, 0, 0, 0);
    QPalette palette = m_textField->palette();
    palette.setColor(QPalette::Base, Theme::cellBackground());
    palette.setColor(QPalette::Text, Theme::valueDetailColor());
    palette.setColor(QPalette::PlaceholderText, Theme::placeholderColor());
    m_textField->setPalette(palette);
    m_textField->setGeometry(100, 10, 205, 20);
    m_textField->installEventFilter(this);
    m_clearAction = m_textField->addAction(clearIcon(), QLineEdit::TrailingPosition);
    m_clearAction->setVisible(false);
    connect(m_clearAction, &QAction::triggered, m_textField, &QLineEdit::clear);
    connect(m_textField, &QLineEdit::textChanged, this, &TextFieldCell::updateClearButton);
    connect(m_textField, &QLineEdit::returnPressed, this, &TextFieldCell::returnPressed);
}

void TextFieldCell::setTextFieldFrame(const QRect& frame) {
    m_textField->setGeometry(frame);
}

void TextFieldCell::setClearButtonWhileEditing(bool shown) {
    m_clearButtonWhileEditing = shown;
    updateClearButton();
}

void TextFieldCell::becomeFirstResponder() {
    m_textField->setFocus(Qt::OtherFocusReason);
}

void TextFieldCell::resignFirstResponder() {
    m_textField->clearFocus();
}

bool TextFieldCell::isFirstResponder() const {
    return m_textField->hasFocus();
}

void TextFieldCell::setSelected(bool selected, bool) {
    TableViewCell::setSelected(selected, false);
    if (selected)
        becomeFirstResponder();
}

bool TextFieldCell::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_textField && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        updateClearButton();
    return TableViewCell::eventFilter(watched, event);
}

void TextFieldCell::updateClearButton() {
    m_clearAction->setVisible(m_clearButtonWhileEditing && m_textField->hasFocus() && !m_textField->text().isEmpty());
}
