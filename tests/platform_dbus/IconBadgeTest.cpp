#include "platform/dbus/IconBadge.h"

#include "platform/BundleIdentifier.h"
#include "platform/dbus/BadgeWatcher.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QVariantMap>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

// Keeps every launcher-entry signal as it came over the wire, whatever its
// signature, so the test sees what a dock gets.
class LauncherEntryRecorder : public QObject {
    Q_OBJECT

public:
    bool start() {
        return QDBusConnection::sessionBus().connect(QString(), QString(), QString::fromLatin1(IconBadge::kInterface),
                                                     QString(), this, SLOT(record(QDBusMessage)));
    }
    QList<QDBusMessage> messages;

private slots:
    void record(const QDBusMessage& message) { messages << message; }
};

namespace {

using Update = std::tuple<QString, qint64, bool>;

const QString kAppUri = QStringLiteral("application://org.brindlex.Brindlex.desktop");

void emitRawUpdate(const QVariantMap& properties) {
    QDBusMessage update =
        QDBusMessage::createSignal(QStringLiteral("/other/app"), QString::fromLatin1(IconBadge::kInterface),
                                   QString::fromLatin1(IconBadge::kSignal));
    update << kAppUri << properties;
    ASSERT_TRUE(QDBusConnection::sessionBus().send(update));
}

TEST(IconBadgeTest, UpdateCarriesTheLauncherEntryProtocolExactly) {
    LauncherEntryRecorder recorder;
    ASSERT_TRUE(recorder.start());
    const std::vector<std::pair<qint64, bool>> cases = {{0, false}, {5, true}, {-1, true}};
    for (const auto& [value, visible] : cases) ASSERT_TRUE(IconBadge::setBadge(kBundleIdentifier, value));
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.messages.size() >= 3; }, 5000));
    ASSERT_EQ(recorder.messages.size(), 3);

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QDBusMessage& message = recorder.messages[static_cast<int>(i)];
        SCOPED_TRACE(cases[i].first);
        EXPECT_EQ(message.type(), QDBusMessage::SignalMessage);
        EXPECT_EQ(message.path(), "/com/canonical/unity/launcherentry/brindlex");
        EXPECT_EQ(message.interface(), "com.canonical.Unity.LauncherEntry");
        EXPECT_EQ(message.member(), "Update");
        EXPECT_EQ(message.signature(), "sa{sv}");
        ASSERT_EQ(message.arguments().size(), 2);
        EXPECT_EQ(message.arguments()[0].toString(), kAppUri);
        const auto properties = qdbus_cast<QVariantMap>(message.arguments()[1]);
        EXPECT_EQ(properties.keys(), QStringList({"count", "count-visible"}));
        // Docks take the count only as int64.
        EXPECT_EQ(properties["count"].metaType(), QMetaType::fromType<qlonglong>());
        EXPECT_EQ(properties["count"].toLongLong(), cases[i].first);
        EXPECT_EQ(properties["count-visible"].metaType(), QMetaType::fromType<bool>());
        EXPECT_EQ(properties["count-visible"].toBool(), cases[i].second);
    }
}

TEST(IconBadgeTest, WatcherKeepsEachBadgeAsADockDoes) {
    std::vector<Update> updates;
    BadgeWatcher watcher(
        [&](const QString& uri, qint64 count, bool visible) { updates.emplace_back(uri, count, visible); });
    ASSERT_TRUE(watcher.start());

    ASSERT_TRUE(IconBadge::setBadge(kBundleIdentifier, 5));
    ASSERT_TRUE(IconBadge::setBadge(kBundleIdentifier, 0));
    ASSERT_TRUE(IconBadge::setBadge(kBundleIdentifier, -1));
    // Other apps' partial updates: one without badge properties is no badge
    // change; one with a count alone keeps the visibility set before.
    emitRawUpdate({{"urgent", true}});
    emitRawUpdate({{"count", QVariant::fromValue<qint64>(7)}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return updates.size() >= 4; }, 5000));
    EXPECT_EQ(updates,
              (std::vector<Update>{{kAppUri, 5, true}, {kAppUri, 0, false}, {kAppUri, -1, true}, {kAppUri, 7, true}}));
}

}  // namespace

#include "IconBadgeTest.moc"
