#pragma once

#include <QString>
#include <QtGlobal>

#include <string>
#include <vector>

// `badge watch`: shows the icon badges as a dock sees them, one line per
// update on standard output, e.g.
//   application://org.brindlex.Brindlex.desktop count=12 visible=true
// until SIGINT or SIGTERM ends it with status 0.
class BadgeCommands {
public:
    static int run(const std::vector<std::string>& arguments);

private:
    static int watch();
    static void printUpdate(const QString& appUri, qint64 count, bool visible);
};
