#pragma once

class ActionSheet;

// Receives the answer of an action sheet.
class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(ActionSheet& actionSheet, int buttonIndex) = 0;
};
