#pragma once

#include "platform/ui/CellPainter.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/Label.h"

#include <QPixmap>
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

    Style cellStyle() const { return m_style; }
    QString reuseIdentifier() const { return m_reuseIdentifier; }
    Label* textLabel() const { return m_textLabel; }
    Label* detailTextLabel() const { return m_detailTextLabel; }
    QWidget* contentView() const { return m_contentView; }

    void setImage(const QPixmap& image);
    QPixmap image() const { return m_image; }
    void setAccessoryType(Accessory accessory);
    Accessory accessoryType() const { return m_accessory; }
    void setSelectionStyle(SelectionStyle style);
    SelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setBackgroundColor(const QColor& color);

    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);

    bool isEditing() const { return m_editing; }
    EditingStyle editingStyle() const { return m_editingStyle; }
    bool isShowingDeleteConfirmation() const { return m_showingDeleteConfirmation; }

    // The row the cell shows now; set by its table.
    IndexPath indexPath() const { return m_indexPath; }
    // Whether its table lets the row be tapped now.
    bool isSelectable() const { return m_selectable; }

    // Called before a recycled cell is handed out again: clears the standard
    // texts, image and accessory and any highlight. Labels the screen added
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

    Style m_style;
    QString m_reuseIdentifier;
    QWidget* m_contentView;
    Label* m_textLabel;
    Label* m_detailTextLabel;
    QPixmap m_image;
    Accessory m_accessory = Accessory::None;
    SelectionStyle m_selectionStyle = SelectionStyle::Blue;
    QColor m_backgroundColor;
    bool m_selected = false;
    bool m_highlighted = false;
    qreal m_highlightOpacity = 0;
    QVariantAnimation* m_fade;
    bool m_editing = false;
    EditingStyle m_editingStyle = EditingStyle::None;
    bool m_showingDeleteConfirmation = false;
    bool m_deleteButtonPressed = false;
    IndexPath m_indexPath;
    CellPainter::Position m_position = CellPainter::Position::Plain;
    bool m_selectable = true;
    QPoint m_pressPosition;
    bool m_tracking = false;
};
