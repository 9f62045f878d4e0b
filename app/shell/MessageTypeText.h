#pragma once

#include "common/MessageType.h"

#include <QString>
#include <QStringList>

// The words for a message type wherever a screen shows one: the main
// screen's choice ("Both", "Received", "Sent", in its filter row and its
// menu), the pie chart's heading and the message list's title. One table, so
// the screens never disagree on which words go with which type; each text
// keeps the translation context of the screen that shows it.
class MessageTypeText {
public:
    static QString choice(MessageType type);
    // The menu's buttons, in the order of the types' stored values.
    static QStringList choices();
    static QString chartHeading(MessageType type);
    static QString listTitle(MessageType type);
};
