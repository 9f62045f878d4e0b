#pragma once

#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/AlertViewDelegate.h"

#include <vector>

// The delegate of an alert or action sheet under test: every button index
// it was answered with, in order.
class RecordedAnswers : public AlertViewDelegate, public ActionSheetDelegate {
public:
    std::vector<int> alert;
    std::vector<int> sheet;
    void alertViewClickedButtonAtIndex(AlertView&, int index) override { alert.push_back(index); }
    void actionSheetClickedButtonAtIndex(ActionSheet&, int index) override { sheet.push_back(index); }
};
