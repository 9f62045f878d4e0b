#include "app/charts/ColumnScrollView.h"

namespace {

constexpr int kInitialContentHeight = 800;

}  // namespace

ColumnScrollView::ColumnScrollView(QWidget* parent) : ScrollView(parent) {
    setGeometry(0, 0, kWidth, parent->height());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setContentSize(QSize(kWidth, kInitialContentHeight));
}
