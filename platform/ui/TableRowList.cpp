#include "platform/ui/TableRowList.h"

#include "platform/ui/CellPainter.h"
#include "platform/ui/TableRowItemDelegate.h"
#include "platform/ui/TableRowModel.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/Theme.h"
#include "platform/ui/ValueAnimation.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVariantAnimation>

#include <algorithm>

namespace {

constexpr int kTextMargin = 10;
constexpr int kTapSlop = 10;
constexpr int kSwipeDistance = 30;
constexpr int kDeselectFadeMs = 300;

}  // namespace

TableRowList::TableRowList(TableView& table, QWidget* parent)
    : QListView(parent), table_(table), model_(new TableRowModel(this)),
      fade_(new ValueAnimation(this, kDeselectFadeMs, 1.0, 0.0, [this](qreal value) {
          fadeOpacity_ = value;
          if (fadingRow_) updateRow(*fadingRow_);
      })) {
    setModel(model_);
    model_->setSpokenText([this](int row) { return describe(row).spokenText(); });
    setItemDelegate(new TableRowItemDelegate([this](QPainter& painter, const QRect& rect, int row,
                                                    bool selected) { paintRow(painter, rect, row, selected); },
                                             [this] { return table_.rowHeight(); }, this));
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
    connect(fade_, &QVariantAnimation::finished, this, [this] { fadingRow_.reset(); });
}

TableRowList::~TableRowList() = default;

TableViewRow TableRowList::describe(int row) const {
    TableViewRow description;
    if (TableViewDataSource* dataSource = table_.dataSource())
        dataSource->describeRowAtIndexPath(table_, {0, row}, description);
    return description;
}

void TableRowList::reloadData() {
    deleteConfirmation_.reset();
    pressedRow_.reset();
    fadingRow_.reset();
    TableViewDataSource* dataSource = table_.dataSource();
    model_->resetRows(dataSource ? dataSource->numberOfRowsInSection(table_, 0) : 0);
    verticalScrollBar()->setSingleStep(table_.rowHeight());
    viewport()->update();
}

int TableRowList::numberOfRows() const { return model_->rowCount(); }

void TableRowList::deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths) {
    QList<int> rows;
    for (const IndexPath& indexPath : indexPaths) rows.append(indexPath.row);
    // From the bottom up, so that each row number still names its row.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    deleteConfirmation_.reset();
    pressedRow_.reset();
    for (int row : rows) model_->rowRemoved(row);
}

std::optional<IndexPath> TableRowList::indexPathForSelectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return std::nullopt;
    return IndexPath{0, selected.first().row()};
}

void TableRowList::selectRowAtIndexPath(const IndexPath& indexPath) {
    const QModelIndex index = model_->index(indexPath.row);
    if (!index.isValid()) return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void TableRowList::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated) {
    const QModelIndex index = model_->index(indexPath.row);
    if (!index.isValid() || !selectionModel()->isSelected(index)) return;
    selectionModel()->select(index, QItemSelectionModel::Deselect);
    if (animated) {
        fadingRow_ = indexPath.row;
        fadeOpacity_ = 1.0;
        fade_->start();
    }
}

void TableRowList::scrollToRow(int row, QAbstractItemView::ScrollHint hint) {
    const QModelIndex index = model_->index(row);
    if (index.isValid()) scrollTo(index, hint);
}

std::optional<IndexPath> TableRowList::indexPathForFocusedRow() const {
    if (!hasFocus() || !currentIndex().isValid()) return std::nullopt;
    return IndexPath{0, currentIndex().row()};
}

void TableRowList::setEditing(bool editing) {
    editing_ = editing;
    deleteConfirmation_.reset();
    viewport()->update();
}

QRect TableRowList::rectForRow(int row) const { return visualRect(model_->index(row)); }

TableViewCell::EditingStyle TableRowList::editingStyleFor(int row) const {
    TableViewDataSource* dataSource = table_.dataSource();
    if (!dataSource || !dataSource->canEditRowAtIndexPath(table_, {0, row})) return TableViewCell::EditingStyle::None;
    TableViewDelegate* delegate = table_.delegate();
    return delegate ? delegate->editingStyleForRowAtIndexPath(table_, {0, row}) : TableViewCell::EditingStyle::Delete;
}

void TableRowList::commit(TableViewCell::EditingStyle style, int row) {
    if (TableViewDataSource* dataSource = table_.dataSource()) dataSource->commitEditingStyle(table_, style, {0, row});
}

QRect TableRowList::editingControlRect(const QRect& rowRect) const {
    return QRect(rowRect.left(), rowRect.top(), Theme::editingControlWidth, rowRect.height());
}

QRect TableRowList::deleteButtonRect(const QRect& rowRect) const {
    return CellPainter::deleteButtonRect(rowRect).toAlignedRect();
}

void TableRowList::showDeleteConfirmation(std::optional<int> row) {
    if (deleteConfirmation_) updateRow(*deleteConfirmation_);
    deleteConfirmation_ = row;
    if (row) updateRow(*row);
}

void TableRowList::updateRow(int row) { viewport()->update(visualRect(model_->index(row))); }

void TableRowList::tapRow(int row) {
    if (deleteConfirmation_) {
        // A tap beside an offered Delete button only withdraws the offer.
        showDeleteConfirmation(std::nullopt);
        return;
    }
    if (editing_) return;
    fade_->stop();
    fadingRow_.reset();
    selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
    if (TableViewDelegate* delegate = table_.delegate()) delegate->didSelectRowAtIndexPath(table_, {0, row});
}

void TableRowList::mousePressEvent(QMouseEvent* event) {
    // Taps are handled here rather than by the view's own selection, so that
    // a drag can become a swipe and only a release selects, as on the phone.
    pressPosition_ = event->position().toPoint();
    const QModelIndex index = indexAt(pressPosition_);
    tracking_ = event->button() == Qt::LeftButton;
    pressedRow_.reset();
    pressOnDeleteButton_ = false;
    pressOnControl_ = false;
    if (!tracking_) return;
    if (!index.isValid()) {
        showDeleteConfirmation(std::nullopt);
        tracking_ = false;
        return;
    }
    const QRect rowRect = visualRect(index);
    if (deleteConfirmation_ == index.row() && deleteButtonRect(rowRect).contains(pressPosition_)) {
        pressOnDeleteButton_ = true;
        return;
    }
    if (editing_ && editingStyleFor(index.row()) != TableViewCell::EditingStyle::None &&
        editingControlRect(rowRect).contains(pressPosition_)) {
        pressOnControl_ = true;
        return;
    }
    if (!deleteConfirmation_ && !editing_) {
        pressedRow_ = index.row();
        updateRow(index.row());
    }
}

void TableRowList::mouseMoveEvent(QMouseEvent* event) {
    if (!tracking_) return;
    const QPoint moved = event->position().toPoint() - pressPosition_;
    if (moved.manhattanLength() <= kTapSlop) return;
    if (pressedRow_) {
        updateRow(*pressedRow_);
        pressedRow_.reset();
    }
    const QModelIndex index = indexAt(pressPosition_);
    if (!pressOnDeleteButton_ && index.isValid() && qAbs(moved.x()) >= kSwipeDistance &&
        qAbs(moved.x()) > 2 * qAbs(moved.y())) {
        tracking_ = false;
        if (editingStyleFor(index.row()) == TableViewCell::EditingStyle::Delete) showDeleteConfirmation(index.row());
    }
}

void TableRowList::mouseReleaseEvent(QMouseEvent* event) {
    if (!tracking_ || event->button() != Qt::LeftButton) return;
    tracking_ = false;
    if (pressedRow_) {
        updateRow(*pressedRow_);
        pressedRow_.reset();
    }
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(pressPosition_);
    if (!index.isValid() || (position - pressPosition_).manhattanLength() > kTapSlop) return;
    const int row = index.row();
    if (pressOnDeleteButton_) {
        showDeleteConfirmation(std::nullopt);
        commit(TableViewCell::EditingStyle::Delete, row);
        return;
    }
    if (pressOnControl_) {
        if (editingStyleFor(row) == TableViewCell::EditingStyle::Insert) {
            commit(TableViewCell::EditingStyle::Insert, row);
            return;
        }
        showDeleteConfirmation(deleteConfirmation_ == row ? std::nullopt : std::optional(row));
        return;
    }
    tapRow(row);
}

void TableRowList::mouseDoubleClickEvent(QMouseEvent* event) {
    // A second click is one more tap, not an edit.
    mousePressEvent(event);
}

void TableRowList::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid() && editingStyleFor(index.row()) == TableViewCell::EditingStyle::Delete)
        showDeleteConfirmation(index.row());
}

void TableRowList::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    // A plain table is ruled all the way down, as if empty rows followed.
    QPainter painter(viewport());
    const int rows = numberOfRows();
    int y = rows > 0 ? visualRect(model_->index(rows - 1)).bottom() + 1 : 0;
    const int rowHeight = table_.rowHeight();
    for (y += rowHeight - 1; y < viewport()->height(); y += rowHeight)
        painter.fillRect(QRect(0, y, viewport()->width(), 1), Theme::plainSeparator());
    paintFocusRing(painter);
}

void TableRowList::paintFocusRing(QPainter& painter) const {
    if (!hasFocus() || !currentIndex().isValid()) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::focusRingColor(), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(visualRect(currentIndex())).adjusted(2, 2, -2, -3), 6, 6);
}

void TableRowList::keyPressEvent(QKeyEvent* event) {
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (plain && row >= 0) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: tapRow(row); return;
        case Qt::Key_Delete:
            if (editingStyleFor(row) != TableViewCell::EditingStyle::Delete) return;
            showDeleteConfirmation(std::nullopt);
            commit(TableViewCell::EditingStyle::Delete, row);
            return;
        default: break;
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
        setCurrentIndex(model_->index(0));
        return;
    }
    QListView::keyPressEvent(event);
}

void TableRowList::paintRow(QPainter& painter, const QRect& rect, int row, bool selected) const {
    const TableViewRow description = describe(row);
    CellPainter::paintPlainCell(painter, rect, description.backgroundColor);
    const bool selectable = description.selectionStyle != TableViewCell::SelectionStyle::None;
    const qreal lit = (selected || pressedRow_ == row) ? 1.0 : (fadingRow_ == row ? fadeOpacity_ : 0.0);
    if (lit > 0 && selectable) {
        QPainterPath shape;
        shape.addRect(QRectF(rect).adjusted(0, -1, 0, -1));
        CellPainter::paintSelection(painter, shape,
                                    description.selectionStyle == TableViewCell::SelectionStyle::Blue
                                        ? CellPainter::SelectionColor::Blue
                                        : CellPainter::SelectionColor::Gray,
                                    lit);
    }
    const bool textLit = selectable && (selected || pressedRow_ == row);
    const TableViewCell::EditingStyle editingStyle =
        editing_ ? editingStyleFor(row) : TableViewCell::EditingStyle::None;
    const bool confirming = deleteConfirmation_ == row;
    QRect content = rect.adjusted(0, 0, 0, -1);
    if (editingStyle != TableViewCell::EditingStyle::None) content.setLeft(content.left() + Theme::editingControlWidth);
    if (confirming)
        content.setRight(deleteButtonRect(rect).left() - 4);
    else if (!editing_ && description.accessory != TableViewCell::Accessory::None)
        content.setRight(content.right() - Theme::accessoryWidth - 4);

    painter.save();
    painter.setClipRect(content);
    paintStandardTexts(painter, content, description, textLit);
    paintItems(painter, content, description, textLit);
    painter.restore();

    if (!editing_ && !confirming && description.accessory != TableViewCell::Accessory::None) {
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
    if (confirming) CellPainter::paintDeleteButton(painter, deleteButtonRect(rect), TableViewCell::tr("Delete"), false);
}

void TableRowList::paintStandardTexts(QPainter& painter, const QRect& content, const TableViewRow& description,
                                      bool lit) const {
    if (description.text.isEmpty() && description.detailText.isEmpty() && description.image.isNull()) return;
    int left = content.left() + kTextMargin;
    if (!description.image.isNull()) {
        const QSize size = description.image.deviceIndependentSize().toSize();
        painter.drawPixmap(left, content.top() + (content.height() - size.height()) / 2, description.image);
        left += size.width() + kTextMargin;
    }
    const QRect area(left, content.top(), content.right() - kTextMargin - left, content.height());
    const QFont textFont = Theme::boldSystemFont(17);
    const QFont detailFont = Theme::systemFont(description.style == TableViewCell::Style::Value1 ? 17 : 14);
    const QColor textColor = lit ? Theme::highlightedTextColor() : Theme::textColor();
    const QColor detailColor = lit                                                 ? Theme::highlightedTextColor()
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
    if (detailArea.isNull() || description.detailText.isEmpty()) return;
    painter.setFont(detailFont);
    painter.setPen(detailColor);
    painter.drawText(detailArea, detailFlags,
                     detailMetrics.elidedText(description.detailText, Qt::ElideRight, detailArea.width()));
}

void TableRowList::paintItems(QPainter& painter, const QRect& content, const TableViewRow& description,
                              bool lit) const {
    // Frames are in the row's own points, shifted with the content in
    // editing mode.
    const QPoint origin(content.left(), content.top());
    for (const TableViewRow::Item& item : description.items) {
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
