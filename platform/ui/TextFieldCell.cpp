#include "platform/ui/TextFieldCell.h"

#include "platform/ui/Theme.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
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

}  // namespace

TextFieldCell::TextFieldCell(Style style, const QString& reuseIdentifier, QWidget* parent)
    : TableViewCell(style, reuseIdentifier, parent), textField_(new QLineEdit(this)) {
    setSelectionStyle(SelectionStyle::None);
    textField_->setObjectName(QStringLiteral("textField"));
    textField_->setFrame(false);
    textField_->setFont(Theme::systemFont(15));
    textField_->setTextMargins(0, 0, 0, 0);
    QPalette palette = textField_->palette();
    palette.setColor(QPalette::Base, Theme::cellBackground());
    palette.setColor(QPalette::Text, Theme::valueDetailColor());
    palette.setColor(QPalette::PlaceholderText, Theme::placeholderColor());
    textField_->setPalette(palette);
    textField_->setGeometry(100, 10, 205, 20);
    textField_->installEventFilter(this);
    clearAction_ = textField_->addAction(clearIcon(), QLineEdit::TrailingPosition);
    clearAction_->setVisible(false);
    connect(clearAction_, &QAction::triggered, textField_, &QLineEdit::clear);
    connect(textField_, &QLineEdit::textChanged, this, &TextFieldCell::updateClearButton);
    connect(textField_, &QLineEdit::returnPressed, this, &TextFieldCell::returnPressed);
}

void TextFieldCell::setTextFieldFrame(const QRect& frame) { textField_->setGeometry(frame); }

void TextFieldCell::setFieldCaption(const QString& name, const QString& description) {
    textField_->setAccessibleName(name);
    textField_->setAccessibleDescription(description);
    // Assistive technology finds a field's labels among its sibling labels
    // whose buddy it is; the row's own caption sits in the content view, so
    // the field gets a caption of its own beside it. It is never shown: the
    // row's label already shows the words.
    if (!caption_) {
        caption_ = new QLabel(this);
        caption_->setObjectName(QStringLiteral("fieldCaption"));
        caption_->hide();
        caption_->setBuddy(textField_);
    }
    caption_->setText(name);
}

void TextFieldCell::setClearButtonWhileEditing(bool shown) {
    clearButtonWhileEditing_ = shown;
    updateClearButton();
}

void TextFieldCell::becomeFirstResponder() { textField_->setFocus(Qt::OtherFocusReason); }

void TextFieldCell::resignFirstResponder() { textField_->clearFocus(); }

bool TextFieldCell::isFirstResponder() const { return textField_->hasFocus(); }

void TextFieldCell::setSelected(bool selected, bool) {
    TableViewCell::setSelected(selected, false);
    if (selected) becomeFirstResponder();
}

bool TextFieldCell::eventFilter(QObject* watched, QEvent* event) {
    if (watched == textField_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        updateClearButton();
    return TableViewCell::eventFilter(watched, event);
}

void TextFieldCell::updateClearButton() {
    clearAction_->setVisible(clearButtonWhileEditing_ && textField_->hasFocus() && !textField_->text().isEmpty());
}
