#pragma once

#include <QString>

#include <optional>

// What the test programs see of one kind of box (alerts, action sheets):
// the answer they preset, which then comes at once without anything on the
// screen, and the texts and number of the boxes shown since the last reset.
class ShownForTesting {
public:
    // Notes a box shown; returns the preset answer, if any.
    std::optional<int> recordShown(const QString& title, const QString& message = QString());
    // Forgets the boxes shown; the preset answer stays.
    void resetShown();

    void setPresetAnswer(std::optional<int> buttonIndex) { presetAnswer_ = buttonIndex; }
    QString lastTitle() const { return lastTitle_; }
    QString lastMessage() const { return lastMessage_; }
    int shownCount() const { return shown_; }

private:
    std::optional<int> presetAnswer_;
    QString lastTitle_;
    QString lastMessage_;
    int shown_ = 0;
};
