#include "common/PhoneProfile.h"

#include "common/MessageSource.h"
#include "common/MessageSources.h"
#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"

PhoneProfile::PhoneProfile(std::string systemVersion)
    : systemVersion_(std::move(systemVersion)), sixOrLater_(SystemVersion::isSixOrLater(systemVersion_)) {}

PhoneProfile PhoneProfile::find() { return PhoneProfile(SystemVersion::systemVersion()); }

PhoneProfile PhoneProfile::forVersion(std::string systemVersion) { return PhoneProfile(std::move(systemVersion)); }

const char* PhoneProfile::counterDatabaseName() const { return sixOrLater_ ? "ledgerwick6.db" : "ledgerwick.db"; }

std::string PhoneProfile::counterDatabase() const { return DevicePaths::dataDirectory() + "/" + counterDatabaseName(); }

std::vector<std::string> PhoneProfile::allCounterDatabases() {
    return {forVersion("6.0").counterDatabase(), forVersion("5.0").counterDatabase()};
}

CountVariant PhoneProfile::countVariant() const {
    return sixOrLater_ ? CountVariant::SmsServiceOnly : CountVariant::EveryRow;
}

std::shared_ptr<const MessageSourceKind> PhoneProfile::sourceKind() const {
    if (!sourceKind_) sourceKind_ = MessageSources::find(*this);
    return sourceKind_;
}

std::unique_ptr<MessageSource> PhoneProfile::makeSource() const { return sourceKind()->make(*this); }
