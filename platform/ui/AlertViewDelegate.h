#pragma once

class AlertView;

// Receives the answer of an alert.
class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) = 0;
};
