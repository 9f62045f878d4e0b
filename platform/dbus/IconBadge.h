#pragma once

#include <QString>
#include <QtGlobal>

// The badge on the app's icon, as Linux docks show it (KDE Plasma, Dash to
// Dock, the Ubuntu dock): the Unity launcher-entry signal
// Update(s app_uri, a{sv} properties) of com.canonical.Unity.LauncherEntry.
// A dock drops a badge when its sender leaves the bus, so the badge that
// stays is the one a long-lived process set.
class IconBadge {
public:
    static constexpr const char* kObjectPath = "/com/canonical/unity/launcherentry/brindlex";
    static constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";
    static constexpr const char* kSignal = "Update";
    static constexpr const char* kCountProperty = "count";
    static constexpr const char* kVisibleProperty = "count-visible";

    // "application://<bundle identifier>.desktop", the desktop file docks
    // look the entry up by.
    static QString appUri(const QString& bundleIdentifier);

    // Shows `value` on the icon of the app with that bundle identifier; 0
    // clears the badge. Any other value is shown as it is, -1 included (the
    // count of a database that could not be read). Returns once the bus has
    // routed the update; false without a session bus.
    static bool setBadge(const QString& bundleIdentifier, qint64 value);
};
