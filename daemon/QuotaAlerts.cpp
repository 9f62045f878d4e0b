#include "daemon/QuotaAlerts.h"
#include "platform/ProgramLog.h"

#include "common/QuotaAlertSettings.h"
#include "common/CounterStore.h"
#include "daemon/QuotaAlertRule.h"
#include "daemon/DesktopNotifier.h"
#include "daemon/QuotaAlertState.h"
#include "platform/TerminalText.h"

#include <algorithm>
#include <cstdio>

namespace {

QString isoDate(std::time_t moment) {
    std::tm local{};
    ::localtime_r(&moment, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return QString::fromLatin1(text);
}

}  // namespace

QuotaAlerts::QuotaAlerts(QObject* parent, std::function<void()> openApp, std::string statePath)
    : QObject(parent), statePath_(std::move(statePath)), notifier_(new DesktopNotifier(this, std::move(openApp))) {}

void QuotaAlerts::check(const BadgeEvent::Reading& reading) {
    if (!QuotaAlertSettings::enabled(reading.settings) || reading.quota <= 0) return;
    const std::string path = statePath_.empty() ? QuotaAlertState::defaultPath() : statePath_;
    const QuotaAlertState state = QuotaAlertState::load(path);
    const std::set<int> announced = state.announcedIn(reading.periodStart);
    const std::vector<int> thresholds = QuotaAlertSettings::thresholds(reading.settings);

    const long long used = usedCount(reading);
    if (used < 0) return;
    const std::optional<int> percent = QuotaAlertRule::due(used, reading.quota, thresholds, announced);
    if (!percent) return;

    // Recorded before the server has answered: an alert that could not be
    // shown now is not worth repeating at every later message.
    std::set<int> updated = announced;
    for (int reached : QuotaAlertRule::reached(used, reading.quota, thresholds)) updated.insert(reached);
    if (!QuotaAlertState(reading.periodStart, updated).save(path))
        ProgramLog::print("cannot write %s; the quota alert may be repeated\n", TerminalText::safe(path).c_str());
    // Critical once the quota is used up, so it stays until seen.
    notifier_->post(summary(*percent), body(*percent, used, reading.quota, reading.periodStart),
                    *percent >= 100 ? DesktopNotifier::Urgency::Critical : DesktopNotifier::Urgency::Normal);
}

long long QuotaAlerts::usedCount(const BadgeEvent::Reading& reading) const {
    const BadgeType measured = QuotaAlertRule::measuredBadgeType(reading.badgeType);
    // The badge of a "Total" type already is the count; no second pass.
    if (reading.badgeValue && measured == reading.badgeType) return *reading.badgeValue;
    // A count that fails announces nothing.
    return CounterStore::forCurrentPhone()
        .countBadgeFrom(reading.periodStart, reading.excluded, measured, reading.quota)
        .valueOr(-1);
}

QString QuotaAlerts::summary(int percent) {
    if (percent >= 100) return QStringLiteral("Text message quota used up");
    return QStringLiteral("%1% of the text message quota used").arg(percent);
}

QString QuotaAlerts::body(int percent, long long used, int quota, std::time_t periodStart) {
    const QString since = isoDate(periodStart);
    if (percent >= 100) return QStringLiteral("%1 of %2 messages used since %3.").arg(used).arg(quota).arg(since);
    return QStringLiteral("%1 of %2 messages used since %3; %4 left.")
        .arg(used)
        .arg(quota)
        .arg(since)
        .arg(std::max(0LL, quota - used));
}
