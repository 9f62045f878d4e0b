#pragma once

// The keys of the shared settings file, with the value each takes when
// absent. App and daemon both read and write these; their spelling is part
// of the file format.
namespace SettingsKeys {

inline constexpr const char* kSmsQuota = "smsquota";                   // integer, 0 = unlimited
inline constexpr const char* kLastFromDate = "lastfromdate";           // double, fixed period start
inline constexpr const char* kCycleMode = "cyclemode";                 // string "Y": billing-day mode
inline constexpr const char* kCycleDay = "cycleday";                   // string of digits, 1 to 31
inline constexpr const char* kBadgeType = "badgetype";                 // integer 0 to 6
inline constexpr const char* kMessageType = "messagetype";             // string "0", "1" or "2"
inline constexpr const char* kLastRecordNumber = "lastrecordnumber";   // string, person filter
inline constexpr const char* kExcludedPersonCount = "epersoncount";    // integer
inline constexpr const char* kExcludedPersonPrefix = "eperson";        // eperson0, eperson1, ...
inline constexpr const char* kExcludedNumberCount = "epersoncountNA";  // integer
inline constexpr const char* kExcludedNumberPrefix = "epersonNA";      // epersonNA0, ...
inline constexpr const char* kLastSyncReceived = "lastsyncrdate";      // integer, Unix seconds
inline constexpr const char* kLastSyncSent = "lastsyncsdate";          // integer, Unix seconds
inline constexpr const char* kHideSMS = "hidesms";                     // string "Y"

// The default badge type is kDefaultBadgeType (BadgeType.h); an absent
// message type is MessageType::Both.
inline constexpr int kDefaultSmsQuota = 0;
inline constexpr int kDefaultCycleDay = 0;

}  // namespace SettingsKeys
