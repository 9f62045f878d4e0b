#include "platform/ui/TableViewCell.h"

#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ValueAnimation.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace {

constexpr int kTextMargin = 10;
constexpr int kLabelGap = 8;
// Movement beyond this turns a press into a drag instead of a tap.
constexpr int kTapSlop = 10;
// A sideways drag this long asks for the Delete button.
constexpr int kSwipeDistance = 30;
constexpr int kDeselectFadeMs = 300;
// The row whose cell had the focus when the table recycled it, kept on the
// table.
constexpr const char* kFocusedSection = "brindlexFocusedSection";
constexpr const char* kFocusedRow = "brindlexFocusedRow";

// Rounded up, so that a label given this width never cuts its own text.
int naturalWidth(const QLabel& label) {
    return int(std::ceil(QFontMetricsF(label.font()).horizontalAdvance(label.text()))) + 1;
}

}  // namespace

TableViewCell::TableViewCell(Style style, const QString& reuseIdentifier, QWidget* parent)
    : QWidget(parent), style_(style), reuseIdentifier_(reuseIdentifier), contentView_(new QWidget(this)),
      textLabel_(new Label(contentView_)), detailTextLabel_(new Label(contentView_)),
      backgroundColor_(Theme::cellBackground()),
      fade_(new ValueAnimation(this, kDeselectFadeMs, 1.0, 0.0, [this](qreal value) {
          highlightOpacity_ = value;
          update();
      })) {
    resize(Theme::windowWidth, Theme::defaultRowHeight);
    // Rows are walked with Tab and the arrow keys.
    setFocusPolicy(Qt::StrongFocus);
    contentView_->setObjectName(QStringLiteral("contentView"));
    contentView_->installEventFilter(this);
    textLabel_->setFont(Theme::boldSystemFont(17));
    detailTextLabel_->setVisible(style != Style::Default);
    if (style == Style::Value1) {
        detailTextLabel_->setFont(Theme::systemFont(17));
        detailTextLabel_->setTextColor(Theme::valueDetailColor());
        detailTextLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    } else {
        detailTextLabel_->setFont(Theme::systemFont(14));
        detailTextLabel_->setTextColor(Theme::subtitleDetailColor());
    }
    layoutContent();
}

void TableViewCell::setAccessoryType(Accessory accessory) {
    accessory_ = accessory;
    layoutContent();
    update();
}

void TableViewCell::setSelectionStyle(SelectionStyle style) {
    selectionStyle_ = style;
    update();
}

void TableViewCell::setBackgroundColor(const QColor& color) {
    backgroundColor_ = color;
    update();
}

void TableViewCell::setSelected(bool selected, bool animated) {
    if (selected_ == selected) return;
    selected_ = selected;
    fade_->stop();
    highlightOpacity_ = 0;
    if (!selected && animated && selectionStyle_ != SelectionStyle::None) fade_->start();
    if (!selected) highlighted_ = false;
    Label::highlightDescendants(this, selected && selectionStyle_ != SelectionStyle::None);
    update();
}

void TableViewCell::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    Label::highlightDescendants(this, (highlighted || selected_) && selectionStyle_ != SelectionStyle::None);
    update();
}

void TableViewCell::prepareForReuse() {
    textLabel_->clear();
    detailTextLabel_->clear();
    accessory_ = Accessory::None;
    selectionStyle_ = SelectionStyle::Blue;
    backgroundColor_ = Theme::cellBackground();
    showingDeleteConfirmation_ = false;
    fade_->stop();
    highlightOpacity_ = 0;
    selected_ = false;
    highlighted_ = false;
    Label::highlightDescendants(this, false);
    layoutContent();
}

void TableViewCell::setTableState(const IndexPath& indexPath, CellPainter::Position position, bool selectable) {
    indexPath_ = indexPath;
    position_ = position;
    selectable_ = selectable;
    layoutContent();
    update();
}

void TableViewCell::setEditing(bool editing, EditingStyle style) {
    editing_ = editing;
    editingStyle_ = editing ? style : EditingStyle::None;
    if (!editing) showingDeleteConfirmation_ = false;
    layoutContent();
    update();
}

void TableViewCell::setShowingDeleteConfirmation(bool showing) {
    if (showingDeleteConfirmation_ == showing) return;
    showingDeleteConfirmation_ = showing;
    deleteButtonPressed_ = false;
    if (showing) setHighlighted(false);
    layoutContent();
    update();
}

QRect TableViewCell::backgroundRect() const {
    if (position_ == CellPainter::Position::Plain) return rect();
    return rect().adjusted(Theme::groupInset, 0, -Theme::groupInset, 0);
}

QRect TableViewCell::editingControlRect() const {
    const QRect background = backgroundRect();
    return QRect(background.left(), 0, Theme::editingControlWidth, height());
}

QRect TableViewCell::deleteButtonRect() const {
    return CellPainter::deleteButtonRect(backgroundRect()).toAlignedRect();
}

void TableViewCell::layoutContent() {
    const QRect background = backgroundRect();
    int left = background.left();
    int right = background.right() + 1;
    if (editingStyle_ != EditingStyle::None) left += Theme::editingControlWidth;
    if (showingDeleteConfirmation_)
        right = deleteButtonRect().left() - 4;
    else if (!editing_ && accessory_ != Accessory::None)
        right -= Theme::accessoryWidth + 4;
    // The plain row's last line is its separator.
    const int bottomLine = position_ == CellPainter::Position::Plain ? 1 : 0;
    contentView_->setGeometry(left, 0, qMax(0, right - left), height() - bottomLine);
    layoutStandardLabels(contentView_->rect());
}

void TableViewCell::layoutStandardLabels(const QRect& area) {
    const int textLeft = kTextMargin;
    const int available = qMax(0, area.width() - textLeft - kTextMargin);
    const int height = area.height();
    switch (style_) {
    case Style::Default: textLabel_->setGeometry(textLeft, 0, available, height); return;
    case Style::Value1: {
        const int textNatural = naturalWidth(*textLabel_);
        const int detailNatural = naturalWidth(*detailTextLabel_);
        const int textWidth = qMin(textNatural, qMax(available / 2, available - detailNatural - kLabelGap));
        textLabel_->setGeometry(textLeft, 0, textWidth, height);
        const int detailLeft = textLeft + textWidth + kLabelGap;
        detailTextLabel_->setGeometry(detailLeft, 0, qMax(0, textLeft + available - detailLeft), height);
        return;
    }
    case Style::Subtitle: {
        // Without a detail the text sits in the middle, as in a default cell.
        const int textHeight = QFontMetrics(textLabel_->font()).height();
        const int detailHeight =
            detailTextLabel_->text().isEmpty() ? 0 : QFontMetrics(detailTextLabel_->font()).height();
        const int top = (height - textHeight - detailHeight) / 2;
        textLabel_->setGeometry(textLeft, top, available, textHeight);
        detailTextLabel_->setGeometry(textLeft, top + textHeight, available, detailHeight);
        return;
    }
    }
}

bool TableViewCell::offersHighlight() const {
    return selectable_ && selectionStyle_ != SelectionStyle::None && !showingDeleteConfirmation_;
}

bool TableViewCell::eventFilter(QObject* watched, QEvent* event) {
    // A label of the content view changed its text: the Value1 split moves.
    if (watched == contentView_ && event->type() == QEvent::LayoutRequest) layoutStandardLabels(contentView_->rect());
    return QWidget::eventFilter(watched, event);
}

void TableViewCell::resizeEvent(QResizeEvent*) { layoutContent(); }

void TableViewCell::showEvent(QShowEvent*) {
    // Texts set while hidden posted no layout request.
    layoutContent();
    // The row whose cell the table recycled while it had the focus takes
    // it back in its new cell.
    TableView* t = table();
    if (t && t->hasFocus() && t->property(kFocusedSection).toInt() == indexPath_.section &&
        t->property(kFocusedRow).toInt() == indexPath_.row)
        setFocus(Qt::OtherFocusReason);
}

bool TableViewCell::focusNextPrevChild(bool next) {
    // Hidden with the focus: the table recycles the cell (a reload, a
    // scroll). The focus waits on the table for the row's next cell rather
    // than jump to another row, which would scroll the table there.
    TableView* t = table();
    if (t && hasFocus() && !isVisible()) {
        t->setProperty(kFocusedSection, indexPath_.section);
        t->setProperty(kFocusedRow, indexPath_.row);
        t->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

TableView* TableViewCell::table() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* found = qobject_cast<TableView*>(w)) return found;
    return nullptr;
}

void TableViewCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect background = backgroundRect();
    const bool grouped = position_ != CellPainter::Position::Plain;
    if (grouped)
        CellPainter::paintGroupedCell(painter, background, position_, backgroundColor_);
    else
        CellPainter::paintPlainCell(painter, background, backgroundColor_);

    const qreal lit = (highlighted_ || selected_) ? 1.0 : highlightOpacity_;
    if (lit > 0 && selectionStyle_ != SelectionStyle::None) {
        QPainterPath shape;
        if (grouped)
            shape = CellPainter::groupedShape(QRectF(background).adjusted(0.5, 0, -0.5, 0), position_);
        else
            shape.addRect(QRectF(background).adjusted(0, -1, 0, -1));
        CellPainter::paintSelection(painter, shape,
                                    selectionStyle_ == SelectionStyle::Blue ? CellPainter::SelectionColor::Blue
                                                                            : CellPainter::SelectionColor::Gray,
                                    lit);
    }
    paintAccessory(painter);
    paintEditingControl(painter);
    paintFocusRing(painter);
    if (showingDeleteConfirmation_)
        CellPainter::paintDeleteButton(painter, deleteButtonRect(), tr("Delete"), deleteButtonPressed_);
}

void TableViewCell::paintAccessory(QPainter& painter) const {
    if (editing_ || showingDeleteConfirmation_ || accessory_ == Accessory::None) return;
    const QRect background = backgroundRect();
    const QRectF area(background.right() + 1 - Theme::accessoryWidth - 6, 0, Theme::accessoryWidth, height());
    const bool lit = (highlighted_ || selected_) && selectionStyle_ != SelectionStyle::None;
    if (accessory_ == Accessory::DisclosureIndicator)
        CellPainter::paintDisclosureIndicator(painter, area,
                                              lit ? Theme::highlightedTextColor() : Theme::disclosureColor());
    else
        CellPainter::paintCheckmark(painter, area, lit ? Theme::highlightedTextColor() : Theme::checkmarkColor());
}

void TableViewCell::paintEditingControl(QPainter& painter) const {
    const QPointF centre = QRectF(editingControlRect()).center() + QPointF(2, 0);
    if (editingStyle_ == EditingStyle::Delete)
        CellPainter::paintDeleteControl(painter, centre, showingDeleteConfirmation_);
    else if (editingStyle_ == EditingStyle::Insert)
        CellPainter::paintInsertControl(painter, centre);
}

void TableViewCell::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressPosition_ = event->position().toPoint();
    tracking_ = true;
    if (showingDeleteConfirmation_ && deleteButtonRect().contains(pressPosition_)) {
        deleteButtonPressed_ = true;
        update();
        return;
    }
    const bool onControl = editingStyle_ != EditingStyle::None && editingControlRect().contains(pressPosition_);
    if (!onControl && offersHighlight()) setHighlighted(true);
}

void TableViewCell::mouseMoveEvent(QMouseEvent* event) {
    if (!tracking_) return;
    const QPoint moved = event->position().toPoint() - pressPosition_;
    if (deleteButtonPressed_) {
        deleteButtonPressed_ = deleteButtonRect().contains(event->position().toPoint());
        update();
        return;
    }
    if (moved.manhattanLength() <= kTapSlop) return;
    setHighlighted(false);
    if (qAbs(moved.x()) >= kSwipeDistance && qAbs(moved.x()) > 2 * qAbs(moved.y())) {
        tracking_ = false;
        emit deleteRequested();
    }
}

void TableViewCell::mouseReleaseEvent(QMouseEvent* event) {
    if (!tracking_ || event->button() != Qt::LeftButton) return;
    tracking_ = false;
    const QPoint position = event->position().toPoint();
    if (deleteButtonPressed_) {
        deleteButtonPressed_ = false;
        update();
        if (deleteButtonRect().contains(position)) emit deleteButtonClicked();
        return;
    }
    if ((position - pressPosition_).manhattanLength() > kTapSlop) {
        setHighlighted(false);
        return;
    }
    if (editingStyle_ != EditingStyle::None && editingControlRect().contains(pressPosition_)) {
        emit editingControlClicked();
        return;
    }
    emit tapped();
}

void TableViewCell::contextMenuEvent(QContextMenuEvent*) { emit deleteRequested(); }

void TableViewCell::paintFocusRing(QPainter& painter) const {
    if (!hasFocus()) return;
    // Drawn inside the row, so that neighbouring rows never cover it.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::focusRingColor(), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(backgroundRect()).adjusted(2, 2, -2, -3), 6, 6);
    painter.restore();
}

void TableViewCell::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TableViewCell::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TableViewCell::keyPressEvent(QKeyEvent* event) {
    // Keys a control inside left over (Return in a text field) are not the
    // row's: a text field's Return would otherwise tap its row again.
    if (!hasFocus() || (event->modifiers() & ~Qt::KeypadModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (showingDeleteConfirmation_)
            emit deleteButtonClicked();
        else if (editingStyle_ == EditingStyle::Insert)
            emit editingControlClicked();
        else
            emit tapped();
        return;
    case Qt::Key_Escape:
        if (!showingDeleteConfirmation_) break;
        // A tap beside the offered Delete button withdraws it.
        emit tapped();
        return;
    case Qt::Key_Delete: emit deleteRequested(); return;
    case Qt::Key_Up: focusNeighbour(-1); return;
    case Qt::Key_Down: focusNeighbour(1); return;
    default: break;
    }
    QWidget::keyPressEvent(event);
}

void TableViewCell::focusNeighbour(int step) {
    TableView* table = this->table();
    if (!table) {
        focusNextPrevChild(step > 0);
        return;
    }
    IndexPath next = indexPath_;
    next.row += step;
    // Across section ends, past empty sections.
    while (next.section >= 0 && next.section < table->numberOfSections() &&
           (next.row < 0 || next.row >= table->numberOfRowsInSection(next.section))) {
        next.section += step;
        if (next.section >= 0 && next.section < table->numberOfSections())
            next.row = step > 0 ? 0 : table->numberOfRowsInSection(next.section) - 1;
    }
    if (next.section < 0 || next.section >= table->numberOfSections()) return;
    table->scrollToRowAtIndexPath(next, TableView::ScrollPosition::None, false);
    if (TableViewCell* cell = table->cellForRowAtIndexPath(next))
        cell->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}
