#pragma once

// The app's bundle identifier, a build-time constant shared by the app and
// the daemon. The icon badge is keyed by it, and the desktop file is
// installed as <identifier>.desktop so docks find the entry under that name.
inline constexpr const char* kBundleIdentifier = "org.brindlex.Brindlex";
