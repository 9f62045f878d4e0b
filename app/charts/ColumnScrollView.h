#pragma once

#include "platform/ui/ScrollView.h"

// The scrolling column the bar chart and the report lay their rows into: as
// wide as the screen and as tall as its parent, scrolling up and down only.
// Its content starts taller than the screen; the screens set the height
// their rows take.
class ColumnScrollView : public ScrollView {
public:
    static constexpr int kWidth = 320;

    explicit ColumnScrollView(QWidget* parent);
};
