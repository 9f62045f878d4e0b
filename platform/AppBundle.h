#pragma once

#include <string>

// The app bundle: the directory installed beside the programs,
// <bindir>/../share/brindlex/Brindlex.app/. The build tree has the same
// shape, so a program finds its bundle from its own location in both.
class AppBundle {
public:
    static std::string directory();
    // A file of the bundle, such as "ledgerwick6.db" or "properties.plist".
    static std::string pathForResource(const std::string& name);
};
