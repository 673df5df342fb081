// The system clock and the long time format the clock command cuts minutes and seconds from.
#include "commands/clock.h"

#include <QRegularExpression>

namespace tqm {

SystemClock::SystemClock(const QLocale &locale)
    : locale_(locale)
    , format_(usableLongFormat(locale_.timeFormat(QLocale::LongFormat))) {}

QString SystemClock::longTimeText(QTime time) const {
    return locale_.toString(time, format_);
}

QString SystemClock::usableLongFormat(const QString &format) {
    // Minutes and seconds are cut out by position, so the text must end "mm?ss". Formats that
    // append an AM/PM marker or a time zone after the seconds keep everything up to the seconds.
    static const QRegularExpression endsInSeconds(QStringLiteral("^(.*(?<!m)mm[^A-Za-z]ss)(?!s)"));
    const QRegularExpressionMatch match = endsInSeconds.match(format);
    return match.hasMatch() ? match.captured(1) : QStringLiteral("HH:mm:ss");
}

} // namespace tqm
