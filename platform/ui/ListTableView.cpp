#include "platform/ui/ListTableView.h"

#include "platform/ui/CellPainter.h"
#include "platform/ui/KitTiming.h"
#include "platform/ui/ListTableItemDelegate.h"
#include "platform/ui/ListTableModel.h"
#include "platform/ui/ListTableViewDataSource.h"
#include "platform/ui/ListTableViewDelegate.h"
#include "platform/ui/Theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVariantAnimation>

#include <algorithm>

namespace {

constexpr int textMargin = 10;
constexpr int tapSlop = 10;
constexpr int swipeDistance = 30;
constexpr int deselectFadeMs = 300;

} // namespace

ListTableView::ListTableView(QWidget* parent)
    : QListView(parent),
      m_model(new ListTableModel(this)),
      m_rowHeight(Theme::defaultRowHeight),
      m_fade(new QVariantAnimation(this)) {
    setModel(m_model);
    m_model->setSpokenText([this](int row) {
        ListTableRow description;
        if (m_dataSource)
            m_dataSource->configureRow(*this, row, description);
        return description.spokenText();
    });
    setItemDelegate(new ListTableItemDelegate(
        [this](QPainter& painter, const QRect& rect, int row, bool selected) {
            paintRow(painter, rect, row, selected);
        },
        [this] { return m_rowHeight; }, this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFocusPolicy(Qt::StrongFocus);
    setSpacing(0);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Theme::cellBackground());
    setPalette(palette);
    m_fade->setDuration(KitTiming::length(deselectFadeMs));
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_fadeOpacity = value.toReal();
        if (m_fadingRow)
            updateRow(*m_fadingRow);
    });
    connect(m_fade, &QVariantAnimation::finished, this, [this] { m_fadingRow.reset(); });
}

ListTableView::~ListTableView() = default;

void ListTableView::setDataSource(ListTableViewDataSource* dataSource) {
    m_dataSource = dataSource;
    setNeedsReload();
}

void ListTableView::setDelegate(ListTableViewDelegate* delegate) {
    m_delegate = delegate;
}

void ListTableView::setRowHeight(int height) {
    m_rowHeight = height;
    setNeedsReload();
}

void ListTableView::setNeedsReload() {
    m_needsReload = true;
    if (isVisible())
        reloadData();
}

void ListTableView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    if (m_needsReload)
        reloadData();
}

void ListTableView::reloadData() {
    m_needsReload = false;
    m_deleteConfirmation.reset();
    m_pressedRow.reset();
    m_fadingRow.reset();
    m_model->resetRows(m_dataSource ? m_dataSource->numberOfRows(*this) : 0);
    verticalScrollBar()->setSingleStep(m_rowHeight);
    viewport()->update();
}

int ListTableView::numberOfRows() const {
    return m_model->rowCount();
}

void ListTableView::deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths, bool) {
    QList<int> rows;
    for (const IndexPath& indexPath : indexPaths)
        rows.append(indexPath.row);
    // From the bottom up, so that each row number still names its row.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    m_deleteConfirmation.reset();
    m_pressedRow.reset();
    for (int row : rows)
        m_model->rowRemoved(row);
}

std::optional<IndexPath> ListTableView::indexPathForSelectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return std::nullopt;
    return IndexPath{0, selected.first().row()};
}

void ListTableView::selectRowAtIndexPath(const IndexPath& indexPath, bool) {
    const QModelIndex index = m_model->index(indexPath.row);
    if (!index.isValid())
        return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void ListTableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated) {
    const QModelIndex index = m_model->index(indexPath.row);
    if (!index.isValid() || !selectionModel()->isSelected(index))
        return;
    selectionModel()->select(index, QItemSelectionModel::Deselect);
    if (animated) {
        m_fadingRow = indexPath.row;
        m_fadeOpacity = 1.0;
        m_fade->start();
    }
}

void ListTableView::setEditing(bool editing, bool) {
    m_editing = editing;
    m_deleteConfirmation.reset();
    viewport()->update();
}

QRect ListTableView::rectForRowAtIndexPath(const IndexPath& indexPath) const {
    return visualRect(m_model->index(indexPath.row));
}

TableViewCell::EditingStyle ListTableView::editingStyleFor(int row) const {
    auto* self = const_cast<ListTableView*>(this);
    if (!m_dataSource || !m_dataSource->canEditRowAtIndexPath(*self, {0, row}))
        return TableViewCell::EditingStyle::None;
    return m_delegate ? m_delegate->editingStyleForRowAtIndexPath(*self, {0, row})
                      : TableViewCell::EditingStyle::Delete;
}

QRect ListTableView::editingControlRect(const QRect& rowRect) const {
    return QRect(rowRect.left(), rowRect.top(), Theme::editingControlWidth, rowRect.height());
}

QRect ListTableView::deleteButtonRect(const QRect& rowRect) const {
    return CellPainter::deleteButtonRect(rowRect).toAlignedRect();
}

void ListTableView::showDeleteConfirmation(std::optional<int> row) {
    if (m_deleteConfirmation)
        updateRow(*m_deleteConfirmation);
    m_deleteConfirmation = row;
    if (row)
        updateRow(*row);
}

void ListTableView::updateRow(int row) {
    viewport()->update(visualRect(m_model->index(row)));
}

void ListTableView::tapRow(int row) {
    if (m_deleteConfirmation) {
        // A tap beside an offered Delete button only withdraws the offer.
        showDeleteConfirmation(std::nullopt);
        return;
    }
    if (m_editing)
        return;
    m_fade->stop();
    m_fadingRow.reset();
    selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
    if (m_delegate)
        m_delegate->didSelectRowAtIndexPath(*this, {0, row});
}

void ListTableView::mousePressEvent(QMouseEvent* event) {
    // Taps are handled here rather than by the view's own selection, so that
    // a drag can become a swipe and only a release selects, as on the phone.
    m_pressPosition = event->position().toPoint();
    const QModelIndex index = indexAt(m_pressPosition);
    m_tracking = event->button() == Qt::LeftButton;
    m_pressedRow.reset();
    m_pressOnDeleteButton = false;
    m_pressOnControl = false;
    if (!m_tracking)
        return;
    if (!index.isValid()) {
        showDeleteConfirmation(std::nullopt);
        m_tracking = false;
        return;
    }
    const QRect rowRect = visualRect(index);
    if (m_deleteConfirmation == index.row() && deleteButtonRect(rowRect).contains(m_pressPosition)) {
        m_pressOnDeleteButton = true;
        return;
    }
    if (m_editing && editingStyleFor(index.row()) != TableViewCell::EditingStyle::None &&
        editingControlRect(rowRect).contains(m_pressPosition)) {
        m_pressOnControl = true;
        return;
    }
    if (!m_deleteConfirmation && !m_editing) {
        m_pressedRow = index.row();
        updateRow(index.row());
    }
}

void ListTableView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_tracking)
        return;
    const QPoint moved = event->position().toPoint() - m_pressPosition;
    if (moved.manhattanLength() <= tapSlop)
        return;
    if (m_pressedRow) {
        updateRow(*m_pressedRow);
        m_pressedRow.reset();
    }
    const QModelIndex index = indexAt(m_pressPosition);
    if (!m_pressOnDeleteButton && index.isValid() && qAbs(moved.x()) >= swipeDistance &&
        qAbs(moved.x()) > 2 * qAbs(moved.y())) {
        m_tracking = false;
        if (editingStyleFor(index.row()) == TableViewCell::EditingStyle::Delete)
            showDeleteConfirmation(index.row());
    }
}

void ListTableView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_tracking || event->button() != Qt::LeftButton)
        return;
    m_tracking = false;
    if (m_pressedRow) {
        updateRow(*m_pressedRow);
        m_pressedRow.reset();
    }
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(m_pressPosition);
    if (!index.isValid() || (position - m_pressPosition).manhattanLength() > tapSlop)
        return;
    const int row = index.row();
    if (m_pressOnDeleteButton) {
        showDeleteConfirmation(std::nullopt);
        if (m_dataSource)
            m_dataSource->commitEditingStyle(*this, TableViewCell::EditingStyle::Delete, {0, row});
        return;
    }
    if (m_pressOnControl) {
        if (editingStyleFor(row) == TableViewCell::EditingStyle::Insert) {
            if (m_dataSource)
                m_dataSource->commitEditingStyle(*this, TableViewCell::EditingStyle::Insert, {0, row});
            return;
        }
        showDeleteConfirmation(m_deleteConfirmation == row ? std::nullopt : std::optional(row));
        return;
    }
    tapRow(row);
}

void ListTableView::mouseDoubleClickEvent(QMouseEvent* event) {
    // A second click is one more tap, not an edit.
    mousePressEvent(event);
}

void ListTableView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid() && editingStyleFor(index.row()) == TableViewCell::EditingStyle::Delete)
        showDeleteConfirmation(index.row());
}

void ListTableView::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    // A plain table is ruled all the way down, as if empty rows followed.
    QPainter painter(viewport());
    const int rows = numberOfRows();
    int y = rows > 0 ? visualRect(m_model->index(rows - 1)).bottom() + 1 : 0;
    for (y += m_rowHeight - 1; y < viewport()->height(); y += m_rowHeight)
        painter.fillRect(QRect(0, y, viewport()->width(), 1), Theme::plainSeparator());
    paintFocusRing(painter);
}

void ListTableView::paintFocusRing(QPainter& painter) const {
    if (!hasFocus() || !currentIndex().isValid())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::focusRingColor(), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(visualRect(currentIndex())).adjusted(2, 2, -2, -3), 6, 6);
}

void ListTableView::keyPressEvent(QKeyEvent* event) {
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (plain && row >= 0) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            tapRow(row);
            return;
        case Qt::Key_Delete:
            if (!m_dataSource || editingStyleFor(row) != TableViewCell::EditingStyle::Delete)
                return;
            showDeleteConfirmation(std::nullopt);
            m_dataSource->commitEditingStyle(*this, TableViewCell::EditingStyle::Delete, {0, row});
            return;
        default:
            break;
        }
    }
    if (plain && event->key() == Qt::Key_Escape) {
        // Left for the window, which goes back a screen.
        event->ignore();
        return;
    }
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (plain && row < 0 && numberOfRows() > 0 && arrow) {
        // The first arrow puts the ring on the first row.
        setCurrentIndex(m_model->index(0));
        return;
    }
    QListView::keyPressEvent(event);
}

void ListTableView::paintRow(QPainter& painter, const QRect& rect, int row, bool selected) const {
    ListTableRow description;
    if (m_dataSource)
        m_dataSource->configureRow(*const_cast<ListTableView*>(this), row, description);
    CellPainter::paintPlainCell(painter, rect, description.backgroundColor);
    const bool selectable = description.selectionStyle != TableViewCell::SelectionStyle::None;
    const qreal lit = (selected || m_pressedRow == row) ? 1.0 : (m_fadingRow == row ? m_fadeOpacity : 0.0);
    if (lit > 0 && selectable) {
        QPainterPath shape;
        shape.addRect(QRectF(rect).adjusted(0, -1, 0, -1));
        CellPainter::paintSelection(painter, shape,
                                    description.selectionStyle == TableViewCell::SelectionStyle::Blue
                                        ? CellPainter::SelectionColor::Blue
                                        : CellPainter::SelectionColor::Gray,
                                    lit);
    }
    const bool textLit = selectable && (selected || m_pressedRow == row);
    const TableViewCell::EditingStyle editingStyle = m_editing ? editingStyleFor(row) : TableViewCell::EditingStyle::None;
    const bool confirming = m_deleteConfirmation == row;
    QRect content = rect.adjusted(0, 0, 0, -1);
    if (editingStyle != TableViewCell::EditingStyle::None)
        content.setLeft(content.left() + Theme::editingControlWidth);
    if (confirming)
        content.setRight(deleteButtonRect(rect).left() - 4);
    else if (!m_editing && description.accessory != TableViewCell::Accessory::None)
        content.setRight(content.right() - Theme::accessoryWidth - 4);

    painter.save();
    painter.setClipRect(content);
    paintStandardTexts(painter, content, description, textLit);
    paintItems(painter, content, description, textLit);
    painter.restore();

    if (!m_editing && !confirming && description.accessory != TableViewCell::Accessory::None) {
        const QRectF area(rect.right() + 1 - Theme::accessoryWidth - 6, rect.top(), Theme::accessoryWidth,
                          rect.height());
        const QColor color = textLit ? Theme::highlightedTextColor()
                             : description.accessory == TableViewCell::Accessory::Checkmark ? Theme::checkmarkColor()
                                                                                             : Theme::disclosureColor();
        if (description.accessory == TableViewCell::Accessory::Checkmark)
            CellPainter::paintCheckmark(painter, area, color);
        else
            CellPainter::paintDisclosureIndicator(painter, area, color);
    }
    const QPointF controlCentre = QRectF(editingControlRect(rect)).center() + QPointF(2, 0);
    if (editingStyle == TableViewCell::EditingStyle::Delete)
        CellPainter::paintDeleteControl(painter, controlCentre, confirming);
    else if (editingStyle == TableViewCell::EditingStyle::Insert)
        CellPainter::paintInsertControl(painter, controlCentre);
    if (confirming)
        CellPainter::paintDeleteButton(painter, deleteButtonRect(rect), TableViewCell::tr("Delete"), false);
}

void ListTableView::paintStandardTexts(QPainter& painter, const QRect& content, const ListTableRow& description,
                                       bool lit) const {
    if (description.text.isEmpty() && description.detailText.isEmpty() && description.image.isNull())
        return;
    int left = content.left() + textMargin;
    if (!description.image.isNull()) {
        const QSize size = description.image.deviceIndependentSize().toSize();
        painter.drawPixmap(left, content.top() + (content.height() - size.height()) / 2, description.image);
        left += size.width() + textMargin;
    }
    const QRect area(left, content.top(), content.right() - textMargin - left, content.height());
    const QFont textFont = Theme::boldSystemFont(17);
    const QFont detailFont = Theme::systemFont(description.style == TableViewCell::Style::Value1 ? 17 : 14);
    const QColor textColor = lit ? Theme::highlightedTextColor() : Theme::textColor();
    const QColor detailColor = lit ? Theme::highlightedTextColor()
                               : description.style == TableViewCell::Style::Value1 ? Theme::valueDetailColor()
                                                                                   : Theme::subtitleDetailColor();
    const QFontMetrics textMetrics(textFont);
    const QFontMetrics detailMetrics(detailFont);
    QRect textArea = area;
    QRect detailArea;
    int detailFlags = Qt::AlignLeft | Qt::AlignVCenter;
    if (description.style == TableViewCell::Style::Subtitle) {
        const int detailHeight = description.detailText.isEmpty() ? 0 : detailMetrics.height();
        const int top = content.top() + (content.height() - textMetrics.height() - detailHeight) / 2;
        textArea = QRect(area.left(), top, area.width(), textMetrics.height());
        detailArea = QRect(area.left(), top + textMetrics.height(), area.width(), detailHeight);
    } else if (description.style == TableViewCell::Style::Value1) {
        const int textWidth = qMin(textMetrics.horizontalAdvance(description.text), area.width() / 2);
        textArea.setWidth(textWidth);
        detailArea = area.adjusted(textWidth + 8, 0, 0, 0);
        detailFlags = Qt::AlignRight | Qt::AlignVCenter;
    }
    painter.setFont(textFont);
    painter.setPen(textColor);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter,
                     textMetrics.elidedText(description.text, Qt::ElideRight, textArea.width()));
    if (detailArea.isNull() || description.detailText.isEmpty())
        return;
    painter.setFont(detailFont);
    painter.setPen(detailColor);
    painter.drawText(detailArea, detailFlags,
                     detailMetrics.elidedText(description.detailText, Qt::ElideRight, detailArea.width()));
}

void ListTableView::paintItems(QPainter& painter, const QRect& content, const ListTableRow& description,
                               bool lit) const {
    // Frames are in the row's own points, shifted with the content in
    // editing mode.
    const QPoint origin(content.left(), content.top());
    for (const ListTableRow::Item& item : description.items) {
        const QRect frame = item.frame.translated(origin);
        if (!item.pixmap.isNull()) {
            painter.drawPixmap(frame.topLeft(), item.pixmap);
            continue;
        }
        painter.setFont(item.font);
        painter.setPen(lit ? item.highlightedColor : item.color);
        const QString line = item.text.section(QLatin1Char('\n'), 0, 0);
        const QString shown = line.size() < item.text.size() ? line + QChar(0x2026) : line;
        painter.drawText(frame, int(item.alignment),
                         QFontMetrics(item.font).elidedText(shown, Qt::ElideRight, frame.width()));
    }
}
