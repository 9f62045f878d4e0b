#pragma once

#include "common/Person.h"

#include <vector>

class PropertyList;

// The excluded contacts and numbers of the settings file, as Person values
// for the counting queries. The app, the badge daemon and the command-line
// report all read them here, so none of them can leave out a number that
// another one counts.
//
// The list is read the way the app restores it at launch:
// - epersoncount and epersoncountNA give how many entries to read; a missing,
//   negative or non-numeric count reads none (a number stored as a string,
//   or a string of digits stored as a number, is accepted, as for every
//   integer key);
// - the contacts eperson0, eperson1, ... end at the first missing key; each
//   is rebuilt from the address book by its record identifier, and one that
//   is gone or has neither first nor last name is skipped;
// - the numbers epersonNA0, epersonNA1, ... go past a missing key to the
//   count; a number stored as a number is taken in decimal, any other kind of
//   value is skipped;
// - contacts come first, then numbers, each group in its stored order.
class ExclusionList {
public:
    // `settings` may be null (no readable file): nothing is excluded.
    static std::vector<Person> fromSettings(const PropertyList* settings);
};
