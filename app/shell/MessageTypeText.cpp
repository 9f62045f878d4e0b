#include "app/shell/MessageTypeText.h"

#include <QCoreApplication>

#include <array>

namespace {

struct Words {
    MessageType type;
    const char* choice;        // context RootViewController
    const char* chartHeading;  // context ChartViewController
    const char* listTitle;     // context RecordViewController
};

constexpr std::array<Words, 3> kWords{{
    {MessageType::Both, QT_TRANSLATE_NOOP("RootViewController", "Both"),
     QT_TRANSLATE_NOOP("ChartViewController", "All Messages"), QT_TRANSLATE_NOOP("RecordViewController", "Details")},
    {MessageType::Received, QT_TRANSLATE_NOOP("RootViewController", "Received"),
     QT_TRANSLATE_NOOP("ChartViewController", "Received Messages"),
     QT_TRANSLATE_NOOP("RecordViewController", "Incoming")},
    {MessageType::Sent, QT_TRANSLATE_NOOP("RootViewController", "Sent"),
     QT_TRANSLATE_NOOP("ChartViewController", "Sent Messages"), QT_TRANSLATE_NOOP("RecordViewController", "Outgoing")},
}};

// A type outside the three reads as Both, as it counts.
const Words& wordsFor(MessageType type) {
    for (const Words& words : kWords)
        if (words.type == type) return words;
    return kWords.front();
}

}  // namespace

QString MessageTypeText::choice(MessageType type) {
    return QCoreApplication::translate("RootViewController", wordsFor(type).choice);
}

QStringList MessageTypeText::choices() {
    QStringList texts;
    for (const Words& words : kWords) texts << choice(words.type);
    return texts;
}

QString MessageTypeText::chartHeading(MessageType type) {
    return QCoreApplication::translate("ChartViewController", wordsFor(type).chartHeading);
}

QString MessageTypeText::listTitle(MessageType type) {
    return QCoreApplication::translate("RecordViewController", wordsFor(type).listTitle);
}
