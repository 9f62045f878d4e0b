#include "platform/ui/TableView.h"

#include "platform/ui/KitTiming.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableRowList.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/Theme.h"

#include <QApplication>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace {

constexpr int kGroupedTextMargin = 20;
constexpr int kScrollMs = 250;
constexpr const char* kAdoptedProperty = "brindlexTableAdopted";

QFont groupedHeaderFont() { return Theme::boldSystemFont(17); }

QFont groupedFooterFont() { return Theme::systemFont(15); }

QFont plainHeaderFont() { return Theme::boldSystemFont(17); }

}  // namespace

TableView::TableView(Style style, QWidget* parent)
    : QScrollArea(parent), style_(style),
      content_(
          new TableContentView([this](QPainter& painter, const QRect& exposed) { paintContent(painter, exposed); })),
      rowHeight_(Theme::defaultRowHeight),
      background_(style == Style::Grouped ? Theme::groupTableBackground() : QBrush(Theme::cellBackground())) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setWidget(content_);
    // The scroll area fills its widget by default; the table paints its own
    // background, which may be transparent.
    content_->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    connect(content_, &TableContentView::pressed, this, [this] { showDeleteConfirmation(std::nullopt); });
}

TableView::~TableView() = default;

void TableView::setDataSource(TableViewDataSource* dataSource) {
    dataSource_ = dataSource;
    setNeedsReload();
}

void TableView::setDelegate(TableViewDelegate* delegate) {
    delegate_ = delegate;
    setNeedsReload();
}

void TableView::setDrawsRows(bool draws) {
    if (draws == drawsRows()) return;
    if (draws) {
        // The list scrolls itself and covers the whole table; the cells'
        // content stays empty underneath.
        rows_ = new TableRowList(*this, viewport());
        rows_->setGeometry(viewport()->rect());
        rows_->show();
        content_->hide();
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFocusPolicy(Qt::NoFocus);
        setFocusProxy(rows_);
    } else {
        setFocusProxy(nullptr);
        setFocusPolicy(Qt::StrongFocus);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        content_->show();
        delete std::exchange(rows_, nullptr);
    }
    setNeedsReload();
}

void TableView::setRowHeight(int height) {
    rowHeight_ = height;
    setNeedsReload();
}

void TableView::setNeedsReload() {
    needsReload_ = true;
    if (isVisible()) reloadData();
}

void TableView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    if (needsReload_) reloadData();
    // The first frame shows the rows.
    layoutCellsIfNeeded();
}

void TableView::setBackgroundBrush(const QBrush& brush) {
    background_ = brush;
    content_->update();
}

void TableView::reloadData() {
    needsReload_ = false;
    selected_.reset();
    deleteConfirmation_.reset();
    if (rows_) {
        rows_->reloadData();
        return;
    }
    computeLayout();
    content_->resize(viewport()->width(), contentHeight());
    // Like the phone's table, which fills its cells at its next layout: a
    // screen reloads, then updates what its rows show (the main screen
    // redraws, then recounts), and the cells show the update.
    if (!cellsStale_) {
        cellsStale_ = true;
        QMetaObject::invokeMethod(
            this, [this] { layoutCellsIfNeeded(); }, Qt::QueuedConnection);
    }
    content_->update();
}

void TableView::layoutCellsIfNeeded() const {
    if (!cellsStale_) return;
    // The cells are the table's working state, not what its callers see of
    // it; a table is never created const.
    auto* self = const_cast<TableView*>(this);
    self->layoutVisibleCells();
    content_->update();
}

bool TableView::showsARow(TableViewCell* cell) {
    layoutCellsIfNeeded();
    return !cell->isHidden();
}

TableViewCell* TableView::dequeueReusableCell(const QString& identifier) {
    while (reusePool_.contains(identifier)) {
        QPointer<TableViewCell> cell = reusePool_.take(identifier);
        if (cell) {
            cell->prepareForReuse();
            return cell;
        }
    }
    return nullptr;
}

int TableView::numberOfSections() const { return rows_ ? 1 : laidOutSections(); }

int TableView::numberOfRowsInSection(int section) const {
    if (rows_) return section == 0 ? rows_->numberOfRows() : 0;
    if (section < 0 || section >= laidOutSections()) return 0;
    return int(sections_[size_t(section)].rowTops.size()) - 1;
}

TableViewCell* TableView::cellForRowAtIndexPath(const IndexPath& indexPath) const {
    layoutCellsIfNeeded();
    const auto found = visible_.find(indexPath);
    return found == visible_.end() ? nullptr : found->second.data();
}

QList<TableViewCell*> TableView::visibleCells() const {
    layoutCellsIfNeeded();
    QList<TableViewCell*> cells;
    for (const auto& [indexPath, cell] : visible_)
        if (cell) cells.append(cell);
    return cells;
}

QWidget* TableView::rowArea() const { return rows_ ? rows_->viewport() : static_cast<QWidget*>(content_); }

QRect TableView::rectForRowAtIndexPath(const IndexPath& indexPath) const {
    if (rows_) return indexPath.section == 0 ? rows_->rectForRow(indexPath.row) : QRect();
    if (indexPath.row < 0 || indexPath.row >= numberOfRowsInSection(indexPath.section)) return QRect();
    const Section& section = sections_[size_t(indexPath.section)];
    const int top = section.rowTops[size_t(indexPath.row)];
    return QRect(0, top, content_->width(), section.rowTops[size_t(indexPath.row) + 1] - top);
}

QRect TableView::rectForHeaderInSection(int section) const {
    if (section < 0 || section >= laidOutSections()) return QRect();
    const Section& s = sections_[size_t(section)];
    return QRect(0, s.headerTop, content_->width(), s.headerHeight);
}

QRect TableView::rectForFooterInSection(int section) const {
    if (section < 0 || section >= laidOutSections()) return QRect();
    const Section& s = sections_[size_t(section)];
    return QRect(0, s.footerTop(), content_->width(), s.footerHeight);
}

QString TableView::titleForHeaderInSection(int section) const {
    return section >= 0 && section < laidOutSections() ? sections_[size_t(section)].header : QString();
}

QString TableView::titleForFooterInSection(int section) const {
    return section >= 0 && section < laidOutSections() ? sections_[size_t(section)].footer : QString();
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    return rows_ ? rows_->indexPathForSelectedRow() : selected_;
}

std::optional<IndexPath> TableView::indexPathForDeleteConfirmation() const {
    if (!rows_) return deleteConfirmation_;
    const std::optional<int> row = rows_->deleteConfirmationRow();
    return row ? std::optional(IndexPath{0, *row}) : std::nullopt;
}

std::optional<IndexPath> TableView::indexPathForFocusedRow() const {
    if (rows_) return rows_->indexPathForFocusedRow();
    const auto* cell = qobject_cast<TableViewCell*>(QApplication::focusWidget());
    if (!cell || cell->parentWidget() != content_ || cell->isHidden()) return std::nullopt;
    return cell->indexPath();
}

void TableView::selectRowAtIndexPath(const IndexPath& indexPath, bool animated, ScrollPosition position) {
    if (rows_) {
        rows_->selectRowAtIndexPath(indexPath);
        return;
    }
    if (selected_ && *selected_ != indexPath)
        if (TableViewCell* previous = cellForRowAtIndexPath(*selected_)) previous->setSelected(false, false);
    selected_ = indexPath;
    scrollToRowAtIndexPath(indexPath, position, animated);
    if (TableViewCell* cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(true, false);
}

void TableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated) {
    if (rows_) {
        rows_->deselectRowAtIndexPath(indexPath, animated);
        return;
    }
    if (selected_ == indexPath) selected_.reset();
    if (TableViewCell* cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(false, animated);
}

void TableView::setEditing(bool editing, bool) {
    if (rows_) {
        editing_ = editing;
        rows_->setEditing(editing);
        return;
    }
    layoutCellsIfNeeded();
    editing_ = editing;
    deleteConfirmation_.reset();
    for (const auto& [indexPath, cell] : visible_)
        if (cell) configure(cell, indexPath);
}

void TableView::deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths, bool) {
    // Drawn rows close up without a reload, keeping the scroll position.
    if (rows_)
        rows_->deleteRowsAtIndexPaths(indexPaths);
    else
        reloadData();
}

void TableView::scrollToRowAtIndexPath(const IndexPath& indexPath, ScrollPosition position, bool animated) {
    if (rows_) {
        if (indexPath.section != 0) return;
        const QAbstractItemView::ScrollHint hints[] = {
            QAbstractItemView::EnsureVisible, QAbstractItemView::PositionAtTop, QAbstractItemView::PositionAtCenter,
            QAbstractItemView::PositionAtBottom};
        rows_->scrollToRow(indexPath.row, hints[int(position)]);
        return;
    }
    const QRect row = rectForRowAtIndexPath(indexPath);
    if (row.isNull()) return;
    QScrollBar* bar = verticalScrollBar();
    const int view = viewport()->height();
    int target = bar->value();
    switch (position) {
    case ScrollPosition::None:
        if (row.top() < target)
            target = row.top();
        else if (row.bottom() > target + view)
            target = row.bottom() + 1 - view;
        break;
    case ScrollPosition::Top: target = row.top(); break;
    case ScrollPosition::Middle: target = row.center().y() - view / 2; break;
    case ScrollPosition::Bottom: target = row.bottom() + 1 - view; break;
    }
    target = std::clamp(target, bar->minimum(), bar->maximum());
    if (!animated || !isVisible()) {
        bar->setValue(target);
        return;
    }
    auto* animation = new QPropertyAnimation(bar, "value", this);
    animation->setDuration(KitTiming::length(kScrollMs));
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setEndValue(target);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void TableView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (rows_) rows_->setGeometry(viewport()->rect());
    content_->resize(viewport()->width(), contentHeight());
    for (const auto& [indexPath, cell] : visible_)
        if (cell) cell->setGeometry(rectForRowAtIndexPath(indexPath));
    layoutVisibleCells();
}

void TableView::scrollContentsBy(int dx, int dy) {
    QScrollArea::scrollContentsBy(dx, dy);
    layoutVisibleCells();
}

void TableView::computeLayout() {
    sections_.clear();
    // Drawn rows are counted by their list, never laid out one by one.
    if (!dataSource_ || rows_) return;
    const int count = dataSource_->numberOfSectionsInTableView(*this);
    int top = 0;
    for (int section = 0; section < count; ++section) {
        sections_.push_back(layoutSection(section, top));
        top = sections_.back().bottom();
    }
}

TableView::Section TableView::layoutSection(int section, int top) {
    Section s;
    s.header = dataSource_->titleForHeaderInSection(*this, section);
    s.footer = dataSource_->titleForFooterInSection(*this, section);
    const int headerHeight = delegate_ ? delegate_->heightForHeaderInSection(*this, section) : -1;
    const int footerHeight = delegate_ ? delegate_->heightForFooterInSection(*this, section) : -1;
    s.headerTop = top;
    s.headerHeight = headerHeight >= 0 ? headerHeight : defaultHeaderHeight(s.header);
    s.footerHeight = footerHeight >= 0 ? footerHeight : defaultFooterHeight(s.footer);
    const int rows = qMax(0, dataSource_->numberOfRowsInSection(*this, section));
    s.rowTops.reserve(size_t(rows) + 1);
    int y = top + s.headerHeight;
    for (int row = 0; row < rows; ++row) {
        s.rowTops.push_back(y);
        const int height = delegate_ ? delegate_->heightForRowAtIndexPath(*this, {section, row}) : -1;
        y += height >= 0 ? height : rowHeight_;
    }
    s.rowTops.push_back(y);
    return s;
}

int TableView::defaultHeaderHeight(const QString& title) const {
    if (style_ == Style::Plain) return title.isEmpty() ? 0 : Theme::plainHeaderHeight;
    return title.isEmpty() ? Theme::groupedTopPadding : Theme::groupedHeaderHeight;
}

int TableView::defaultFooterHeight(const QString& title) const {
    if (style_ == Style::Plain) return title.isEmpty() ? 0 : Theme::plainHeaderHeight;
    if (title.isEmpty()) return Theme::groupedFooterHeight;
    const int width = viewport()->width() - 2 * kGroupedTextMargin;
    const QRect text = QFontMetrics(groupedFooterFont())
                           .boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap | Qt::AlignHCenter, title);
    return text.height() + 2 * Theme::groupedFooterHeight;
}

int TableView::contentHeight() const {
    const int total = sections_.empty() ? 0 : sections_.back().bottom();
    return qMax(total, viewport()->height());
}

std::vector<IndexPath> TableView::rowsBetween(int top, int bottom) const {
    std::vector<IndexPath> rows;
    for (int section = 0; section < laidOutSections(); ++section) {
        const Section& s = sections_[size_t(section)];
        if (s.rowTops.front() >= bottom || s.rowTops.back() <= top) continue;
        // First row whose end lies below the top edge.
        auto first = std::upper_bound(s.rowTops.begin() + 1, s.rowTops.end(), top);
        for (auto it = first; it != s.rowTops.end() && *(it - 1) < bottom; ++it)
            rows.push_back({section, int(it - s.rowTops.begin()) - 1});
    }
    return rows;
}

void TableView::layoutVisibleCells() {
    if (cellsStale_) {
        cellsStale_ = false;
        recycleVisibleCells();
    }
    if (!dataSource_) return;
    const int top = verticalScrollBar()->value();
    const std::vector<IndexPath> wanted = rowsBetween(top, top + viewport()->height());
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            ++it;
            continue;
        }
        if (it->second) recycle(it->second);
        it = visible_.erase(it);
    }
    for (const IndexPath& indexPath : wanted)
        if (!cellForRowAtIndexPath(indexPath)) visible_[indexPath] = obtainCell(indexPath);
}

TableViewCell* TableView::obtainCell(const IndexPath& indexPath) {
    TableViewCell* cell = dataSource_->cellForRowAtIndexPath(*this, indexPath);
    if (!cell) cell = new TableViewCell(TableViewCell::Style::Default, QString(), content_);
    adopt(cell);
    cell->setGeometry(rectForRowAtIndexPath(indexPath));
    configure(cell, indexPath);
    cell->show();
    return cell;
}

void TableView::adopt(TableViewCell* cell) {
    if (cell->parentWidget() != content_) cell->setParent(content_);
    if (cell->property(kAdoptedProperty).toBool()) return;
    cell->setProperty(kAdoptedProperty, true);
    connect(cell, &TableViewCell::tapped, this, [this, cell] { onCellTapped(cell); });
    connect(cell, &TableViewCell::editingControlClicked, this, [this, cell] { onEditingControlClicked(cell); });
    connect(cell, &TableViewCell::deleteButtonClicked, this, [this, cell] { onDeleteButtonClicked(cell); });
    connect(cell, &TableViewCell::deleteRequested, this, [this, cell] { onDeleteRequested(cell); });
}

void TableView::configure(TableViewCell* cell, const IndexPath& indexPath) {
    cell->setTableState(indexPath, positionOf(indexPath), selectionAllowed());
    cell->setEditing(editing_, editing_ ? editingStyleFor(indexPath) : TableViewCell::EditingStyle::None);
    cell->setShowingDeleteConfirmation(deleteConfirmation_ == indexPath);
    cell->setSelected(selected_ == indexPath, false);
}

void TableView::recycle(TableViewCell* cell) {
    cell->hide();
    cell->setHighlighted(false);
    const QString identifier = cell->reuseIdentifier();
    if (!identifier.isEmpty() && !reusePool_.contains(identifier, cell)) reusePool_.insert(identifier, cell);
}

void TableView::recycleVisibleCells() {
    for (const auto& [indexPath, cell] : std::exchange(visible_, {}))
        if (cell) recycle(cell);
}

CellPainter::Position TableView::positionOf(const IndexPath& indexPath) const {
    if (style_ == Style::Plain) return CellPainter::Position::Plain;
    const int rows = numberOfRowsInSection(indexPath.section);
    if (rows == 1) return CellPainter::Position::Single;
    if (indexPath.row == 0) return CellPainter::Position::First;
    return indexPath.row == rows - 1 ? CellPainter::Position::Last : CellPainter::Position::Middle;
}

TableViewCell::EditingStyle TableView::editingStyleFor(const IndexPath& indexPath) {
    if (!dataSource_ || !dataSource_->canEditRowAtIndexPath(*this, indexPath)) return TableViewCell::EditingStyle::None;
    return delegate_ ? delegate_->editingStyleForRowAtIndexPath(*this, indexPath) : TableViewCell::EditingStyle::Delete;
}

bool TableView::selectionAllowed() const { return allowsSelection_ && (!editing_ || allowsSelectionDuringEditing_); }

void TableView::onCellTapped(TableViewCell* cell) {
    if (!showsARow(cell)) return;
    if (deleteConfirmation_ || !selectionAllowed()) {
        // A tap beside an offered Delete button only withdraws the offer.
        showDeleteConfirmation(std::nullopt);
        cell->setHighlighted(false);
        return;
    }
    const IndexPath indexPath = cell->indexPath();
    if (selected_ && *selected_ != indexPath)
        if (TableViewCell* previous = cellForRowAtIndexPath(*selected_)) previous->setSelected(false, false);
    selected_ = indexPath;
    cell->setSelected(true, false);
    if (delegate_) delegate_->didSelectRowAtIndexPath(*this, indexPath);
}

void TableView::onEditingControlClicked(TableViewCell* cell) {
    if (!showsARow(cell)) return;
    const IndexPath indexPath = cell->indexPath();
    if (cell->editingStyle() == TableViewCell::EditingStyle::Insert) {
        showDeleteConfirmation(std::nullopt);
        if (dataSource_) dataSource_->commitEditingStyle(*this, TableViewCell::EditingStyle::Insert, indexPath);
        return;
    }
    showDeleteConfirmation(deleteConfirmation_ == indexPath ? std::nullopt : std::optional(indexPath));
}

void TableView::onDeleteButtonClicked(TableViewCell* cell) {
    if (!showsARow(cell)) return;
    const IndexPath indexPath = cell->indexPath();
    showDeleteConfirmation(std::nullopt);
    if (dataSource_) dataSource_->commitEditingStyle(*this, TableViewCell::EditingStyle::Delete, indexPath);
}

void TableView::onDeleteRequested(TableViewCell* cell) {
    if (!showsARow(cell)) return;
    const IndexPath indexPath = cell->indexPath();
    if (editingStyleFor(indexPath) != TableViewCell::EditingStyle::Delete) return;
    showDeleteConfirmation(indexPath);
}

void TableView::showDeleteConfirmation(std::optional<IndexPath> indexPath) {
    if (deleteConfirmation_)
        if (TableViewCell* cell = cellForRowAtIndexPath(*deleteConfirmation_))
            cell->setShowingDeleteConfirmation(false);
    deleteConfirmation_ = indexPath;
    if (indexPath)
        if (TableViewCell* cell = cellForRowAtIndexPath(*indexPath)) cell->setShowingDeleteConfirmation(true);
}

void TableView::paintContent(QPainter& painter, const QRect& exposed) const {
    painter.fillRect(exposed, background_);
    for (const Section& section : sections_) {
        if (section.bottom() < exposed.top() || section.headerTop > exposed.bottom()) continue;
        if (style_ == Style::Grouped)
            paintGroupedTexts(painter, section);
        else
            paintPlainHeaders(painter, section);
    }
    if (style_ == Style::Plain) paintEmptyRowSeparators(painter, exposed);
}

void TableView::paintGroupedTexts(QPainter& painter, const Section& section) const {
    const int width = content_->width() - 2 * kGroupedTextMargin;
    auto drawShadowed = [&painter](const QRect& rect, int flags, const QString& text) {
        painter.setPen(QColor(255, 255, 255, 200));
        painter.drawText(rect.translated(0, 1), flags, text);
        painter.setPen(Theme::groupedHeaderTextColor());
        painter.drawText(rect, flags, text);
    };
    if (!section.header.isEmpty()) {
        painter.setFont(groupedHeaderFont());
        const QRect area(kGroupedTextMargin, section.headerTop, width, section.headerHeight - 7);
        const QString shown = QFontMetrics(groupedHeaderFont()).elidedText(section.header, Qt::ElideRight, width);
        drawShadowed(area, Qt::AlignLeft | Qt::AlignBottom, shown);
    }
    if (!section.footer.isEmpty()) {
        painter.setFont(groupedFooterFont());
        const QRect area(kGroupedTextMargin, section.footerTop() + Theme::groupedFooterHeight, width,
                         section.footerHeight - Theme::groupedFooterHeight);
        drawShadowed(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, section.footer);
    }
}

void TableView::paintPlainHeaders(QPainter& painter, const Section& section) const {
    auto paintBar = [&painter, this](int top, int height, const QString& text) {
        if (text.isEmpty() || height <= 0) return;
        const QRect bar(0, top, content_->width(), height);
        QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
        gradient.setColorAt(0, Theme::plainHeaderTop());
        gradient.setColorAt(1, Theme::plainHeaderBottom());
        painter.fillRect(bar, gradient);
        painter.fillRect(QRect(0, top, bar.width(), 1), Theme::plainHeaderTop().darker(115));
        painter.setFont(plainHeaderFont());
        const QRect textArea = bar.adjusted(12, 0, -12, 0);
        const QString shown = QFontMetrics(plainHeaderFont()).elidedText(text, Qt::ElideRight, textArea.width());
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawText(textArea.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, shown);
        painter.setPen(Qt::white);
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, shown);
    };
    paintBar(section.headerTop, section.headerHeight, section.header);
    paintBar(section.footerTop(), section.footerHeight, section.footer);
}

void TableView::paintEmptyRowSeparators(QPainter& painter, const QRect& exposed) const {
    // A plain table ruled all the way down, as if empty rows followed.
    const int end = sections_.empty() ? 0 : sections_.back().bottom();
    for (int y = end + rowHeight_ - 1; y <= exposed.bottom(); y += rowHeight_)
        if (y >= exposed.top()) painter.fillRect(QRect(0, y, content_->width(), 1), Theme::plainSeparator());
}
