#include "platform/ui/TableView.h"

#include "platform/ui/KitTiming.h"
#include "platform/ui/TableContentView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/Theme.h"

#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int groupedTextMargin = 20;
constexpr int scrollMs = 250;
constexpr const char* adoptedProperty = "brindlexTableAdopted";

QFont groupedHeaderFont() {
    return Theme::boldSystemFont(17);
}

QFont groupedFooterFont() {
    return Theme::systemFont(15);
}

QFont plainHeaderFont() {
    return Theme::boldSystemFont(17);
}

} // namespace

TableView::TableView(Style style, QWidget* parent)
    : QScrollArea(parent),
      m_style(style),
      m_content(new TableContentView([this](QPainter& painter, const QRect& exposed) { paintContent(painter, exposed); })),
      m_rowHeight(Theme::defaultRowHeight),
      m_background(style == Style::Grouped ? Theme::groupTableBackground() : QBrush(Theme::cellBackground())) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setWidget(m_content);
    // The scroll area fills its widget by default; the table paints its own
    // background, which may be transparent.
    m_content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    connect(m_content, &TableContentView::pressed, this, [this] { showDeleteConfirmation(std::nullopt); });
}

TableView::~TableView() = default;

void TableView::setDataSource(TableViewDataSource* dataSource) {
    m_dataSource = dataSource;
    setNeedsReload();
}

void TableView::setDelegate(TableViewDelegate* delegate) {
    m_delegate = delegate;
    setNeedsReload();
}

void TableView::setRowHeight(int height) {
    m_rowHeight = height;
    setNeedsReload();
}

void TableView::setNeedsReload() {
    m_needsReload = true;
    if (isVisible())
        reloadData();
}

void TableView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    if (m_needsReload)
        reloadData();
    // The first frame shows the rows.
    layoutCellsIfNeeded();
}

void TableView::setBackgroundBrush(const QBrush& brush) {
    m_background = brush;
    m_content->update();
}

void TableView::reloadData() {
    m_needsReload = false;
    m_selected.reset();
    m_deleteConfirmation.reset();
    computeLayout();
    m_content->resize(viewport()->width(), contentHeight());
    // Like the phone's table, which fills its cells at its next layout: a
    // screen reloads, then updates what its rows show (the main screen
    // redraws, then recounts), and the cells show the update.
    if (!m_cellsStale) {
        m_cellsStale = true;
        QMetaObject::invokeMethod(this, [this] { layoutCellsIfNeeded(); }, Qt::QueuedConnection);
    }
    m_content->update();
}

void TableView::layoutCellsIfNeeded() const {
    if (!m_cellsStale)
        return;
    // The cells are the table's working state, not what its callers see of
    // it; a table is never created const.
    auto* self = const_cast<TableView*>(this);
    self->layoutVisibleCells();
    m_content->update();
}

bool TableView::showsARow(TableViewCell* cell) {
    layoutCellsIfNeeded();
    return !cell->isHidden();
}

TableViewCell* TableView::dequeueReusableCell(const QString& identifier) {
    while (m_reusePool.contains(identifier)) {
        QPointer<TableViewCell> cell = m_reusePool.take(identifier);
        if (cell) {
            cell->prepareForReuse();
            return cell;
        }
    }
    return nullptr;
}

int TableView::numberOfRowsInSection(int section) const {
    if (section < 0 || section >= numberOfSections())
        return 0;
    return int(m_sections[size_t(section)].rowTops.size()) - 1;
}

TableViewCell* TableView::cellForRowAtIndexPath(const IndexPath& indexPath) const {
    layoutCellsIfNeeded();
    const auto found = m_visible.find(indexPath);
    return found == m_visible.end() ? nullptr : found->second.data();
}

QList<TableViewCell*> TableView::visibleCells() const {
    layoutCellsIfNeeded();
    QList<TableViewCell*> cells;
    for (const auto& [indexPath, cell] : m_visible)
        if (cell)
            cells.append(cell);
    return cells;
}

QRect TableView::rectForRowAtIndexPath(const IndexPath& indexPath) const {
    if (indexPath.row < 0 || indexPath.row >= numberOfRowsInSection(indexPath.section))
        return QRect();
    const Section& section = m_sections[size_t(indexPath.section)];
    const int top = section.rowTops[size_t(indexPath.row)];
    return QRect(0, top, m_content->width(), section.rowTops[size_t(indexPath.row) + 1] - top);
}

QRect TableView::rectForHeaderInSection(int section) const {
    if (section < 0 || section >= numberOfSections())
        return QRect();
    const Section& s = m_sections[size_t(section)];
    return QRect(0, s.headerTop, m_content->width(), s.headerHeight);
}

QRect TableView::rectForFooterInSection(int section) const {
    if (section < 0 || section >= numberOfSections())
        return QRect();
    const Section& s = m_sections[size_t(section)];
    return QRect(0, s.footerTop(), m_content->width(), s.footerHeight);
}

QString TableView::titleForHeaderInSection(int section) const {
    return section >= 0 && section < numberOfSections() ? m_sections[size_t(section)].header : QString();
}

QString TableView::titleForFooterInSection(int section) const {
    return section >= 0 && section < numberOfSections() ? m_sections[size_t(section)].footer : QString();
}

void TableView::selectRowAtIndexPath(const IndexPath& indexPath, bool animated, ScrollPosition position) {
    if (m_selected && *m_selected != indexPath)
        if (TableViewCell* previous = cellForRowAtIndexPath(*m_selected))
            previous->setSelected(false, false);
    m_selected = indexPath;
    scrollToRowAtIndexPath(indexPath, position, animated);
    if (TableViewCell* cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(true, false);
}

void TableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated) {
    if (m_selected == indexPath)
        m_selected.reset();
    if (TableViewCell* cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(false, animated);
}

void TableView::setEditing(bool editing, bool) {
    layoutCellsIfNeeded();
    m_editing = editing;
    m_deleteConfirmation.reset();
    for (const auto& [indexPath, cell] : m_visible)
        if (cell)
            configure(cell, indexPath);
}

void TableView::deleteRowsAtIndexPaths(const QList<IndexPath>&, bool) {
    reloadData();
}

void TableView::scrollToRowAtIndexPath(const IndexPath& indexPath, ScrollPosition position, bool animated) {
    const QRect row = rectForRowAtIndexPath(indexPath);
    if (row.isNull())
        return;
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
    case ScrollPosition::Top:
        target = row.top();
        break;
    case ScrollPosition::Middle:
        target = row.center().y() - view / 2;
        break;
    case ScrollPosition::Bottom:
        target = row.bottom() + 1 - view;
        break;
    }
    target = std::clamp(target, bar->minimum(), bar->maximum());
    if (!animated || !isVisible()) {
        bar->setValue(target);
        return;
    }
    auto* animation = new QPropertyAnimation(bar, "value", this);
    animation->setDuration(KitTiming::length(scrollMs));
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setEndValue(target);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void TableView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    m_content->resize(viewport()->width(), contentHeight());
    for (const auto& [indexPath, cell] : m_visible)
        if (cell)
            cell->setGeometry(rectForRowAtIndexPath(indexPath));
    layoutVisibleCells();
}

void TableView::scrollContentsBy(int dx, int dy) {
    QScrollArea::scrollContentsBy(dx, dy);
    layoutVisibleCells();
}

void TableView::computeLayout() {
    m_sections.clear();
    if (!m_dataSource)
        return;
    const int count = m_dataSource->numberOfSectionsInTableView(*this);
    int top = 0;
    for (int section = 0; section < count; ++section) {
        m_sections.push_back(layoutSection(section, top));
        top = m_sections.back().bottom();
    }
}

TableView::Section TableView::layoutSection(int section, int top) {
    Section s;
    s.header = m_dataSource->titleForHeaderInSection(*this, section);
    s.footer = m_dataSource->titleForFooterInSection(*this, section);
    const int headerHeight = m_delegate ? m_delegate->heightForHeaderInSection(*this, section) : -1;
    const int footerHeight = m_delegate ? m_delegate->heightForFooterInSection(*this, section) : -1;
    s.headerTop = top;
    s.headerHeight = headerHeight >= 0 ? headerHeight : defaultHeaderHeight(s.header);
    s.footerHeight = footerHeight >= 0 ? footerHeight : defaultFooterHeight(s.footer);
    const int rows = qMax(0, m_dataSource->numberOfRowsInSection(*this, section));
    s.rowTops.reserve(size_t(rows) + 1);
    int y = top + s.headerHeight;
    for (int row = 0; row < rows; ++row) {
        s.rowTops.push_back(y);
        const int height = m_delegate ? m_delegate->heightForRowAtIndexPath(*this, {section, row}) : -1;
        y += height >= 0 ? height : m_rowHeight;
    }
    s.rowTops.push_back(y);
    return s;
}

int TableView::defaultHeaderHeight(const QString& title) const {
    if (m_style == Style::Plain)
        return title.isEmpty() ? 0 : Theme::plainHeaderHeight;
    return title.isEmpty() ? Theme::groupedTopPadding : Theme::groupedHeaderHeight;
}

int TableView::defaultFooterHeight(const QString& title) const {
    if (m_style == Style::Plain)
        return title.isEmpty() ? 0 : Theme::plainHeaderHeight;
    if (title.isEmpty())
        return Theme::groupedFooterHeight;
    const int width = viewport()->width() - 2 * groupedTextMargin;
    const QRect text = QFontMetrics(groupedFooterFont()).boundingRect(QRect(0, 0, width, 10000),
                                                                       Qt::TextWordWrap | Qt::AlignHCenter, title);
    return text.height() + 2 * Theme::groupedFooterHeight;
}

int TableView::contentHeight() const {
    const int total = m_sections.empty() ? 0 : m_sections.back().bottom();
    return qMax(total, viewport()->height());
}

std::vector<IndexPath> TableView::rowsBetween(int top, int bottom) const {
    std::vector<IndexPath> rows;
    for (int section = 0; section < numberOfSections(); ++section) {
        const Section& s = m_sections[size_t(section)];
        if (s.rowTops.front() >= bottom || s.rowTops.back() <= top)
            continue;
        // First row whose end lies below the top edge.
        auto first = std::upper_bound(s.rowTops.begin() + 1, s.rowTops.end(), top);
        for (auto it = first; it != s.rowTops.end() && *(it - 1) < bottom; ++it)
            rows.push_back({section, int(it - s.rowTops.begin()) - 1});
    }
    return rows;
}

void TableView::layoutVisibleCells() {
    if (m_cellsStale) {
        m_cellsStale = false;
        recycleVisibleCells();
    }
    if (!m_dataSource)
        return;
    const int top = verticalScrollBar()->value();
    const std::vector<IndexPath> wanted = rowsBetween(top, top + viewport()->height());
    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            ++it;
            continue;
        }
        if (it->second)
            recycle(it->second);
        it = m_visible.erase(it);
    }
    for (const IndexPath& indexPath : wanted)
        if (!cellForRowAtIndexPath(indexPath))
            m_visible[indexPath] = obtainCell(indexPath);
}

TableViewCell* TableView::obtainCell(const IndexPath& indexPath) {
    TableViewCell* cell = m_dataSource->cellForRowAtIndexPath(*this, indexPath);
    if (!cell)
        cell = new TableViewCell(TableViewCell::Style::Default, QString(), m_content);
    adopt(cell);
    cell->setGeometry(rectForRowAtIndexPath(indexPath));
    configure(cell, indexPath);
    cell->show();
    return cell;
}

void TableView::adopt(TableViewCell* cell) {
    if (cell->parentWidget() != m_content)
        cell->setParent(m_content);
    if (cell->property(adoptedProperty).toBool())
        return;
    cell->setProperty(adoptedProperty, true);
    connect(cell, &TableViewCell::tapped, this, [this, cell] { onCellTapped(cell); });
    connect(cell, &TableViewCell::editingControlClicked, this, [this, cell] { onEditingControlClicked(cell); });
    connect(cell, &TableViewCell::deleteButtonClicked, this, [this, cell] { onDeleteButtonClicked(cell); });
    connect(cell, &TableViewCell::deleteRequested, this, [this, cell] { onDeleteRequested(cell); });
}

void TableView::configure(TableViewCell* cell, const IndexPath& indexPath) {
    cell->setTableState(indexPath, positionOf(indexPath), selectionAllowed());
    cell->setEditing(m_editing, m_editing ? editingStyleFor(indexPath) : TableViewCell::EditingStyle::None);
    cell->setShowingDeleteConfirmation(m_deleteConfirmation == indexPath);
    cell->setSelected(m_selected == indexPath, false);
}

void TableView::recycle(TableViewCell* cell) {
    cell->hide();
    cell->setHighlighted(false);
    const QString identifier = cell->reuseIdentifier();
    if (!identifier.isEmpty() && !m_reusePool.contains(identifier, cell))
        m_reusePool.insert(identifier, cell);
}

void TableView::recycleVisibleCells() {
    for (const auto& [indexPath, cell] : std::exchange(m_visible, {}))
        if (cell)
            recycle(cell);
}

CellPainter::Position TableView::positionOf(const IndexPath& indexPath) const {
    if (m_style == Style::Plain)
        return CellPainter::Position::Plain;
    const int rows = numberOfRowsInSection(indexPath.section);
    if (rows == 1)
        return CellPainter::Position::Single;
    if (indexPath.row == 0)
        return CellPainter::Position::First;
    return indexPath.row == rows - 1 ? CellPainter::Position::Last : CellPainter::Position::Middle;
}

TableViewCell::EditingStyle TableView::editingStyleFor(const IndexPath& indexPath) {
    if (!m_dataSource || !m_dataSource->canEditRowAtIndexPath(*this, indexPath))
        return TableViewCell::EditingStyle::None;
    return m_delegate ? m_delegate->editingStyleForRowAtIndexPath(*this, indexPath)
                      : TableViewCell::EditingStyle::Delete;
}

bool TableView::selectionAllowed() const {
    return m_allowsSelection && (!m_editing || m_allowsSelectionDuringEditing);
}

void TableView::onCellTapped(TableViewCell* cell) {
    if (!showsARow(cell))
        return;
    if (m_deleteConfirmation || !selectionAllowed()) {
        // A tap beside an offered Delete button only withdraws the offer.
        showDeleteConfirmation(std::nullopt);
        cell->setHighlighted(false);
        return;
    }
    const IndexPath indexPath = cell->indexPath();
    if (m_selected && *m_selected != indexPath)
        if (TableViewCell* previous = cellForRowAtIndexPath(*m_selected))
            previous->setSelected(false, false);
    m_selected = indexPath;
    cell->setSelected(true, false);
    if (m_delegate)
        m_delegate->didSelectRowAtIndexPath(*this, indexPath);
}

void TableView::onEditingControlClicked(TableViewCell* cell) {
    if (!showsARow(cell))
        return;
    const IndexPath indexPath = cell->indexPath();
    if (cell->editingStyle() == TableViewCell::EditingStyle::Insert) {
        showDeleteConfirmation(std::nullopt);
        if (m_dataSource)
            m_dataSource->commitEditingStyle(*this, TableViewCell::EditingStyle::Insert, indexPath);
        return;
    }
    showDeleteConfirmation(m_deleteConfirmation == indexPath ? std::nullopt : std::optional(indexPath));
}

void TableView::onDeleteButtonClicked(TableViewCell* cell) {
    if (!showsARow(cell))
        return;
    const IndexPath indexPath = cell->indexPath();
    showDeleteConfirmation(std::nullopt);
    if (m_dataSource)
        m_dataSource->commitEditingStyle(*this, TableViewCell::EditingStyle::Delete, indexPath);
}

void TableView::onDeleteRequested(TableViewCell* cell) {
    if (!showsARow(cell))
        return;
    const IndexPath indexPath = cell->indexPath();
    if (editingStyleFor(indexPath) != TableViewCell::EditingStyle::Delete)
        return;
    showDeleteConfirmation(indexPath);
}

void TableView::showDeleteConfirmation(std::optional<IndexPath> indexPath) {
    if (m_deleteConfirmation)
        if (TableViewCell* cell = cellForRowAtIndexPath(*m_deleteConfirmation))
            cell->setShowingDeleteConfirmation(false);
    m_deleteConfirmation = indexPath;
    if (indexPath)
        if (TableViewCell* cell = cellForRowAtIndexPath(*indexPath))
            cell->setShowingDeleteConfirmation(true);
}

void TableView::paintContent(QPainter& painter, const QRect& exposed) const {
    painter.fillRect(exposed, m_background);
    for (const Section& section : m_sections) {
        if (section.bottom() < exposed.top() || section.headerTop > exposed.bottom())
            continue;
        if (m_style == Style::Grouped)
            paintGroupedTexts(painter, section);
        else
            paintPlainHeaders(painter, section);
    }
    if (m_style == Style::Plain)
        paintEmptyRowSeparators(painter, exposed);
}

void TableView::paintGroupedTexts(QPainter& painter, const Section& section) const {
    const int width = m_content->width() - 2 * groupedTextMargin;
    auto drawShadowed = [&painter](const QRect& rect, int flags, const QString& text) {
        painter.setPen(QColor(255, 255, 255, 200));
        painter.drawText(rect.translated(0, 1), flags, text);
        painter.setPen(Theme::groupedHeaderTextColor());
        painter.drawText(rect, flags, text);
    };
    if (!section.header.isEmpty()) {
        painter.setFont(groupedHeaderFont());
        const QRect area(groupedTextMargin, section.headerTop, width, section.headerHeight - 7);
        const QString shown = QFontMetrics(groupedHeaderFont()).elidedText(section.header, Qt::ElideRight, width);
        drawShadowed(area, Qt::AlignLeft | Qt::AlignBottom, shown);
    }
    if (!section.footer.isEmpty()) {
        painter.setFont(groupedFooterFont());
        const QRect area(groupedTextMargin, section.footerTop() + Theme::groupedFooterHeight, width,
                         section.footerHeight - Theme::groupedFooterHeight);
        drawShadowed(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, section.footer);
    }
}

void TableView::paintPlainHeaders(QPainter& painter, const Section& section) const {
    auto paintBar = [&painter, this](int top, int height, const QString& text) {
        if (text.isEmpty() || height <= 0)
            return;
        const QRect bar(0, top, m_content->width(), height);
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
    const int end = m_sections.empty() ? 0 : m_sections.back().bottom();
    for (int y = end + m_rowHeight - 1; y <= exposed.bottom(); y += m_rowHeight)
        if (y >= exposed.top())
            painter.fillRect(QRect(0, y, m_content->width(), 1), Theme::plainSeparator());
}
