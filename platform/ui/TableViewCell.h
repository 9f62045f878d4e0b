#pragma once

#include "platform/ui/CellPainter.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/Label.h"

#include <QWidget>

class QVariantAnimation;
class TableView;

// One row of a TableView. The cell spans the table's width; in a grouped
// table it draws its part of the white rounded group, inset by 10 points,
// and its content view starts there. Screens fill the standard text and
// detail labels, or put their own labels into contentView() (or directly
// into the cell) by frames in points.
class TableViewCell : public QWidget {
    Q_OBJECT
public:
    enum class Style {
        Default,  // one text label
        Value1,   // text on the left, grey-blue detail right-aligned
        Subtitle  // text above a smaller grey detail
    };
    enum class Accessory { None, DisclosureIndicator, Checkmark };
    enum class SelectionStyle { None, Blue, Gray };
    enum class EditingStyle { None, Delete, Insert };

    explicit TableViewCell(Style style = Style::Default, const QString& reuseIdentifier = QString(),
                           QWidget* parent = nullptr);

    Style cellStyle() const { return style_; }
    QString reuseIdentifier() const { return reuseIdentifier_; }
    Label* textLabel() const { return textLabel_; }
    Label* detailTextLabel() const { return detailTextLabel_; }
    QWidget* contentView() const { return contentView_; }

    void setAccessoryType(Accessory accessory);
    Accessory accessoryType() const { return accessory_; }
    void setSelectionStyle(SelectionStyle style);
    SelectionStyle selectionStyle() const { return selectionStyle_; }
    void setBackgroundColor(const QColor& color);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);

    bool isEditing() const { return editing_; }
    EditingStyle editingStyle() const { return editingStyle_; }
    bool isShowingDeleteConfirmation() const { return showingDeleteConfirmation_; }

    // The row the cell shows now; set by its table.
    IndexPath indexPath() const { return indexPath_; }
    // Whether its table lets the row be tapped now.
    bool isSelectable() const { return selectable_; }

    // Called before a recycled cell is handed out again: clears the standard
    // texts and accessory and any highlight. Labels the screen added
    // stay; screens that add their own remove them first.
    virtual void prepareForReuse();

signals:
    // A tap on the row itself (not on an editing control or the Delete
    // button), a tap on the round editing control, a tap on the Delete
    // button, and a sideways drag or right click asking for the Delete
    // button.
    void tapped();
    void editingControlClicked();
    void deleteButtonClicked();
    void deleteRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Return, Enter and Space tap the row (or its green plus in editing
    // mode, or the offered Delete button); Up and Down move to the
    // neighbouring row; Delete asks for the Delete button, as a swipe does.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The rectangle of the white cell: the whole row in a plain table, the
    // inset part of the group in a grouped one.
    QRect backgroundRect() const;

private:
    friend class TableView;
    void setTableState(const IndexPath& indexPath, CellPainter::Position position, bool selectable);
    void setEditing(bool editing, EditingStyle style);
    void setShowingDeleteConfirmation(bool showing);
    void layoutContent();
    void layoutStandardLabels(const QRect& area);
    QRect editingControlRect() const;
    QRect deleteButtonRect() const;
    bool offersHighlight() const;
    void paintAccessory(QPainter& painter) const;
    void paintEditingControl(QPainter& painter) const;
    void paintFocusRing(QPainter& painter) const;
    // Gives the keyboard focus to the row `step` rows further down (up when
    // negative), scrolling it into view.
    void focusNeighbour(int step);
    TableView* table() const;

    Style style_;
    QString reuseIdentifier_;
    QWidget* contentView_;
    Label* textLabel_;
    Label* detailTextLabel_;
    Accessory accessory_ = Accessory::None;
    SelectionStyle selectionStyle_ = SelectionStyle::Blue;
    QColor backgroundColor_;
    bool selected_ = false;
    bool highlighted_ = false;
    qreal highlightOpacity_ = 0;
    QVariantAnimation* fade_;
    bool editing_ = false;
    EditingStyle editingStyle_ = EditingStyle::None;
    bool showingDeleteConfirmation_ = false;
    bool deleteButtonPressed_ = false;
    IndexPath indexPath_;
    CellPainter::Position position_ = CellPainter::Position::Plain;
    bool selectable_ = true;
    QPoint pressPosition_;
    bool tracking_ = false;
};
