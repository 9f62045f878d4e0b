#include "platform/PhoneNumberIndex.h"

#include <phonenumbers/phonenumberutil.h>

#include <utility>

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

constexpr std::size_t kKeyDigits = 7;

// A real number has at most 15 digits; these leave room for any formatting
// and prefix. libphonenumber's patterns take time quadratic in the length of
// what they are given, so longer text never reaches them: it is matched as
// the string it is.
constexpr std::size_t kMaxNumberCharacters = 64;
constexpr std::size_t kMaxNumberDigits = 20;

bool tooLongForANumber(const std::string& text) {
    if (text.size() > kMaxNumberCharacters) return true;
    std::size_t digits = 0;
    for (const char c : text) digits += (c >= '0' && c <= '9') ? 1 : 0;
    return digits > kMaxNumberDigits;
}

// Same string is as good as a match gets.
constexpr int kExactStrength = 3;

int strengthOf(PhoneNumberUtil::MatchType type) {
    switch (type) {
    case PhoneNumberUtil::EXACT_MATCH: return kExactStrength;
    case PhoneNumberUtil::NSN_MATCH: return 2;
    case PhoneNumberUtil::SHORT_NSN_MATCH: return 1;
    default: return 0;
    }
}

int matchStrength(const PhoneNumber& address, const PhoneNumber& contactNumber) {
    try {
        return strengthOf(PhoneNumberUtil::GetInstance()->IsNumberMatch(address, contactNumber));
    } catch (...) {
        return 0;
    }
}

}  // namespace

PhoneNumberIndex::PhoneNumberIndex(std::string defaultRegion) : defaultRegion_(std::move(defaultRegion)) {}

bool PhoneNumberIndex::Candidate::beatenBy(int otherStrength, const AddressBookContact& other) const {
    if (otherStrength != strength) return otherStrength > strength;
    return !contact || other.recordID < contact->recordID;
}

void PhoneNumberIndex::add(const ContactRef& contact) {
    for (const std::string& number : contact->numbers) addNumber(number, contact);
}

void PhoneNumberIndex::addNumber(const std::string& number, const ContactRef& contact) {
    byExactString_.emplace(number, contact);  // keeps the earlier, lower identifier
    if (auto parsed = parse(number)) byKey_[std::move(parsed->key)].push_back({std::move(parsed->number), contact});
}

ContactRef PhoneNumberIndex::match(const std::string& address) const {
    Candidate best;
    if (auto same = byExactString_.find(address); same != byExactString_.end()) best = {kExactStrength, same->second};
    if (auto parsed = parse(address)) considerNumberMatches(*parsed, &best);
    return best.contact;
}

void PhoneNumberIndex::considerNumberMatches(const Parsed& address, Candidate* best) const {
    const auto filed = byKey_.find(address.key);
    if (filed == byKey_.end()) return;
    for (const ParsedNumber& candidate : filed->second) {
        // Nothing beats an exact match by a lower identifier; spare the comparison.
        if (best->strength == kExactStrength && best->contact->recordID <= candidate.contact->recordID) continue;
        const int strength = matchStrength(address.number, candidate.number);
        if (strength > 0 && best->beatenBy(strength, *candidate.contact)) *best = {strength, candidate.contact};
    }
}

// An e-mail handle is never a phone number; telling so by its '@' spares the
// parser's pattern matching.
std::optional<PhoneNumberIndex::Parsed> PhoneNumberIndex::parse(const std::string& text) const {
    if (text.find('@') != std::string::npos || tooLongForANumber(text)) return std::nullopt;
    try {
        const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
        Parsed parsed;
        if (util.Parse(text, defaultRegion_, &parsed.number) != PhoneNumberUtil::NO_PARSING_ERROR) return std::nullopt;
        util.GetNationalSignificantNumber(parsed.number, &parsed.key);
        if (parsed.key.size() > kKeyDigits) parsed.key.erase(0, parsed.key.size() - kKeyDigits);
        return parsed;
    } catch (...) {
        return std::nullopt;
    }
}
