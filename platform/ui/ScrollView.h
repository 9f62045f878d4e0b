#pragma once

#include <QScrollArea>

// A scrolling area whose content is a plain widget of a set size; screens
// put their labels and views into contentView() by frames in points. It is
// transparent, so the screen's background shows through.
class ScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit ScrollView(QWidget* parent = nullptr);

    QWidget* contentView() const { return content_; }
    void setContentSize(const QSize& size);
    QSize contentSize() const { return content_->size(); }
    void setContentOffset(const QPoint& offset);
    QPoint contentOffset() const;
    // Removes and destroys everything put into the content view.
    void removeAllContent();

private:
    QWidget* content_;
};
