#include "app/list/MessageDateFormatter.h"

#include <QDateTime>

namespace {

// "Ap" is the locale's own AM/PM text as it spells it ("PM", "p. m.", "오후"),
// not forced to upper case.
const QString kPattern = QStringLiteral("dd MMM yyyy hh:mm:ss Ap");

}  // namespace

QString MessageDateFormatter::stringFromDate(std::time_t moment) const {
    return locale_.toString(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(moment)), kPattern);
}
