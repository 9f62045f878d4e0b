#include "platform/ui/TableViewCell.h"

#include "platform/ui/KitTiming.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace {

constexpr int textMargin = 10;
constexpr int labelGap = 8;
// Movement beyond this turns a press into a drag instead of a tap.
constexpr int tapSlop = 10;
// A sideways drag this long asks for the Delete button.
constexpr int swipeDistance = 30;
constexpr int deselectFadeMs = 300;
// The row whose cell had the focus when the table recycled it, kept on the
// table.
constexpr const char* kFocusedSection = "brindlexFocusedSection";
constexpr const char* kFocusedRow = "brindlexFocusedRow";

// Rounded up, so that a label given this width never cuts its own text.
int naturalWidth(const QLabel& label) {
    return int(std::ceil(QFontMetricsF(label.font()).horizontalAdvance(label.text()))) + 1;
}

} // namespace

TableViewCell::TableViewCell(Style style, const QString& reuseIdentifier, QWidget* parent)
    : QWidget(parent),
      m_style(style),
      m_reuseIdentifier(reuseIdentifier),
      m_contentView(new QWidget(this)),
      m_textLabel(new Label(m_contentView)),
      m_detailTextLabel(new Label(m_contentView)),
      m_backgroundColor(Theme::cellBackground()),
      m_fade(new QVariantAnimation(this)) {
    resize(Theme::windowWidth, Theme::defaultRowHeight);
    // Rows are walked with Tab and the arrow keys.
    setFocusPolicy(Qt::StrongFocus);
    m_contentView->setObjectName(QStringLiteral("contentView"));
    m_contentView->installEventFilter(this);
    m_textLabel->setFont(Theme::boldSystemFont(17));
    m_detailTextLabel->setVisible(style != Style::Default);
    if (style == Style::Value1) {
        m_detailTextLabel->setFont(Theme::systemFont(17));
        m_detailTextLabel->setTextColor(Theme::valueDetailColor());
        m_detailTextLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    } else {
        m_detailTextLabel->setFont(Theme::systemFont(14));
        m_detailTextLabel->setTextColor(Theme::subtitleDetailColor());
    }
    m_fade->setDuration(KitTiming::length(deselectFadeMs));
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_highlightOpacity = value.toReal();
        update();
    });
    layoutContent();
}

void TableViewCell::setImage(const QPixmap& image) {
    m_image = image;
    layoutContent();
    update();
}

void TableViewCell::setAccessoryType(Accessory accessory) {
    m_accessory = accessory;
    layoutContent();
    update();
}

void TableViewCell::setSelectionStyle(SelectionStyle style) {
    m_selectionStyle = style;
    update();
}

void TableViewCell::setBackgroundColor(const QColor& color) {
    m_backgroundColor = color;
    update();
}

void TableViewCell::setSelected(bool selected, bool animated) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    m_fade->stop();
    m_highlightOpacity = 0;
    if (!selected && animated && m_selectionStyle != SelectionStyle::None)
        m_fade->start();
    if (!selected)
        m_highlighted = false;
    Label::highlightDescendants(this, selected && m_selectionStyle != SelectionStyle::None);
    update();
}

void TableViewCell::setHighlighted(bool highlighted) {
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    Label::highlightDescendants(this, (highlighted || m_selected) && m_selectionStyle != SelectionStyle::None);
    update();
}

void TableViewCell::prepareForReuse() {
    m_textLabel->clear();
    m_detailTextLabel->clear();
    m_image = QPixmap();
    m_accessory = Accessory::None;
    m_selectionStyle = SelectionStyle::Blue;
    m_backgroundColor = Theme::cellBackground();
    m_showingDeleteConfirmation = false;
    m_fade->stop();
    m_highlightOpacity = 0;
    m_selected = false;
    m_highlighted = false;
    Label::highlightDescendants(this, false);
    layoutContent();
}

void TableViewCell::setTableState(const IndexPath& indexPath, CellPainter::Position position, bool selectable) {
    m_indexPath = indexPath;
    m_position = position;
    m_selectable = selectable;
    layoutContent();
    update();
}

void TableViewCell::setEditing(bool editing, EditingStyle style) {
    m_editing = editing;
    m_editingStyle = editing ? style : EditingStyle::None;
    if (!editing)
        m_showingDeleteConfirmation = false;
    layoutContent();
    update();
}

void TableViewCell::setShowingDeleteConfirmation(bool showing) {
    if (m_showingDeleteConfirmation == showing)
        return;
    m_showingDeleteConfirmation = showing;
    m_deleteButtonPressed = false;
    if (showing)
        setHighlighted(false);
    layoutContent();
    update();
}

QRect TableViewCell::backgroundRect() const {
    if (m_position == CellPainter::Position::Plain)
        return rect();
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
    if (m_editingStyle != EditingStyle::None)
        left += Theme::editingControlWidth;
    if (m_showingDeleteConfirmation)
        right = deleteButtonRect().left() - 4;
    else if (!m_editing && m_accessory != Accessory::None)
        right -= Theme::accessoryWidth + 4;
    // The plain row's last line is its separator.
    const int bottomLine = m_position == CellPainter::Position::Plain ? 1 : 0;
    m_contentView->setGeometry(left, 0, qMax(0, right - left), height() - bottomLine);
    layoutStandardLabels(m_contentView->rect());
}

void TableViewCell::layoutStandardLabels(const QRect& area) {
    const int textLeft = textMargin + (m_image.isNull() ? 0 : m_image.width() + textMargin);
    const int available = qMax(0, area.width() - textLeft - textMargin);
    const int height = area.height();
    switch (m_style) {
    case Style::Default:
        m_textLabel->setGeometry(textLeft, 0, available, height);
        return;
    case Style::Value1: {
        const int textNatural = naturalWidth(*m_textLabel);
        const int detailNatural = naturalWidth(*m_detailTextLabel);
        const int textWidth = qMin(textNatural, qMax(available / 2, available - detailNatural - labelGap));
        m_textLabel->setGeometry(textLeft, 0, textWidth, height);
        const int detailLeft = textLeft + textWidth + labelGap;
        m_detailTextLabel->setGeometry(detailLeft, 0, qMax(0, textLeft + available - detailLeft), height);
        return;
    }
    case Style::Subtitle: {
        // Without a detail the text sits in the middle, as in a default cell.
        const int textHeight = QFontMetrics(m_textLabel->font()).height();
        const int detailHeight =
            m_detailTextLabel->text().isEmpty() ? 0 : QFontMetrics(m_detailTextLabel->font()).height();
        const int top = (height - textHeight - detailHeight) / 2;
        m_textLabel->setGeometry(textLeft, top, available, textHeight);
        m_detailTextLabel->setGeometry(textLeft, top + textHeight, available, detailHeight);
        return;
    }
    }
}

bool TableViewCell::offersHighlight() const {
    return m_selectable && m_selectionStyle != SelectionStyle::None && !m_showingDeleteConfirmation;
}

bool TableViewCell::eventFilter(QObject* watched, QEvent* event) {
    // A label of the content view changed its text: the Value1 split moves.
    if (watched == m_contentView && event->type() == QEvent::LayoutRequest)
        layoutStandardLabels(m_contentView->rect());
    return QWidget::eventFilter(watched, event);
}

void TableViewCell::resizeEvent(QResizeEvent*) {
    layoutContent();
}

void TableViewCell::showEvent(QShowEvent*) {
    // Texts set while hidden posted no layout request.
    layoutContent();
    // The row whose cell the table recycled while it had the focus takes
    // it back in its new cell.
    TableView* t = table();
    if (t && t->hasFocus() && t->property(kFocusedSection).toInt() == m_indexPath.section &&
        t->property(kFocusedRow).toInt() == m_indexPath.row)
        setFocus(Qt::OtherFocusReason);
}

bool TableViewCell::focusNextPrevChild(bool next) {
    // Hidden with the focus: the table recycles the cell (a reload, a
    // scroll). The focus waits on the table for the row's next cell rather
    // than jump to another row, which would scroll the table there.
    TableView* t = table();
    if (t && hasFocus() && !isVisible()) {
        t->setProperty(kFocusedSection, m_indexPath.section);
        t->setProperty(kFocusedRow, m_indexPath.row);
        t->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

TableView* TableViewCell::table() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* found = qobject_cast<TableView*>(w))
            return found;
    return nullptr;
}

void TableViewCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect background = backgroundRect();
    const bool grouped = m_position != CellPainter::Position::Plain;
    if (grouped)
        CellPainter::paintGroupedCell(painter, background, m_position, m_backgroundColor);
    else
        CellPainter::paintPlainCell(painter, background, m_backgroundColor);

    const qreal lit = (m_highlighted || m_selected) ? 1.0 : m_highlightOpacity;
    if (lit > 0 && m_selectionStyle != SelectionStyle::None) {
        QPainterPath shape;
        if (grouped)
            shape = CellPainter::groupedShape(QRectF(background).adjusted(0.5, 0, -0.5, 0), m_position);
        else
            shape.addRect(QRectF(background).adjusted(0, -1, 0, -1));
        CellPainter::paintSelection(painter, shape,
                                    m_selectionStyle == SelectionStyle::Blue ? CellPainter::SelectionColor::Blue
                                                                             : CellPainter::SelectionColor::Gray,
                                    lit);
    }
    if (!m_image.isNull()) {
        const QRect content = m_contentView->geometry();
        painter.drawPixmap(content.left() + textMargin, content.top() + (content.height() - m_image.height()) / 2,
                           m_image);
    }
    paintAccessory(painter);
    paintEditingControl(painter);
    paintFocusRing(painter);
    if (m_showingDeleteConfirmation)
        CellPainter::paintDeleteButton(painter, deleteButtonRect(), tr("Delete"), m_deleteButtonPressed);
}

void TableViewCell::paintAccessory(QPainter& painter) const {
    if (m_editing || m_showingDeleteConfirmation || m_accessory == Accessory::None)
        return;
    const QRect background = backgroundRect();
    const QRectF area(background.right() + 1 - Theme::accessoryWidth - 6, 0, Theme::accessoryWidth, height());
    const bool lit = (m_highlighted || m_selected) && m_selectionStyle != SelectionStyle::None;
    if (m_accessory == Accessory::DisclosureIndicator)
        CellPainter::paintDisclosureIndicator(painter, area, lit ? Theme::highlightedTextColor()
                                                                 : Theme::disclosureColor());
    else
        CellPainter::paintCheckmark(painter, area, lit ? Theme::highlightedTextColor() : Theme::checkmarkColor());
}

void TableViewCell::paintEditingControl(QPainter& painter) const {
    const QPointF centre = QRectF(editingControlRect()).center() + QPointF(2, 0);
    if (m_editingStyle == EditingStyle::Delete)
        CellPainter::paintDeleteControl(painter, centre, m_showingDeleteConfirmation);
    else if (m_editingStyle == EditingStyle::Insert)
        CellPainter::paintInsertControl(painter, centre);
}

void TableViewCell::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressPosition = event->position().toPoint();
    m_tracking = true;
    if (m_showingDeleteConfirmation && deleteButtonRect().contains(m_pressPosition)) {
        m_deleteButtonPressed = true;
        update();
        return;
    }
    const bool onControl = m_editingStyle != EditingStyle::None && editingControlRect().contains(m_pressPosition);
    if (!onControl && offersHighlight())
        setHighlighted(true);
}

void TableViewCell::mouseMoveEvent(QMouseEvent* event) {
    if (!m_tracking)
        return;
    const QPoint moved = event->position().toPoint() - m_pressPosition;
    if (m_deleteButtonPressed) {
        m_deleteButtonPressed = deleteButtonRect().contains(event->position().toPoint());
        update();
        return;
    }
    if (moved.manhattanLength() <= tapSlop)
        return;
    setHighlighted(false);
    if (qAbs(moved.x()) >= swipeDistance && qAbs(moved.x()) > 2 * qAbs(moved.y())) {
        m_tracking = false;
        emit deleteRequested();
    }
}

void TableViewCell::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_tracking || event->button() != Qt::LeftButton)
        return;
    m_tracking = false;
    const QPoint position = event->position().toPoint();
    if (m_deleteButtonPressed) {
        m_deleteButtonPressed = false;
        update();
        if (deleteButtonRect().contains(position))
            emit deleteButtonClicked();
        return;
    }
    if ((position - m_pressPosition).manhattanLength() > tapSlop) {
        setHighlighted(false);
        return;
    }
    if (m_editingStyle != EditingStyle::None && editingControlRect().contains(m_pressPosition)) {
        emit editingControlClicked();
        return;
    }
    emit tapped();
}

void TableViewCell::contextMenuEvent(QContextMenuEvent*) {
    emit deleteRequested();
}

void TableViewCell::paintFocusRing(QPainter& painter) const {
    if (!hasFocus())
        return;
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
        if (m_showingDeleteConfirmation)
            emit deleteButtonClicked();
        else if (m_editingStyle == EditingStyle::Insert)
            emit editingControlClicked();
        else
            emit tapped();
        return;
    case Qt::Key_Escape:
        if (!m_showingDeleteConfirmation)
            break;
        // A tap beside the offered Delete button withdraws it.
        emit tapped();
        return;
    case Qt::Key_Delete:
        emit deleteRequested();
        return;
    case Qt::Key_Up:
        focusNeighbour(-1);
        return;
    case Qt::Key_Down:
        focusNeighbour(1);
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TableViewCell::focusNeighbour(int step) {
    TableView* table = this->table();
    if (!table) {
        focusNextPrevChild(step > 0);
        return;
    }
    IndexPath next = m_indexPath;
    next.row += step;
    // Across section ends, past empty sections.
    while (next.section >= 0 && next.section < table->numberOfSections() &&
           (next.row < 0 || next.row >= table->numberOfRowsInSection(next.section))) {
        next.section += step;
        if (next.section >= 0 && next.section < table->numberOfSections())
            next.row = step > 0 ? 0 : table->numberOfRowsInSection(next.section) - 1;
    }
    if (next.section < 0 || next.section >= table->numberOfSections())
        return;
    table->scrollToRowAtIndexPath(next, TableView::ScrollPosition::None, false);
    if (TableViewCell* cell = table->cellForRowAtIndexPath(next))
        cell->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}
