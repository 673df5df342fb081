// The command listing, made from the command and control tables at a fixed moment, so that it
// never changes from one run to the next.
#include "commands/command_listing.h"

#include "commands/control_table.h"
#include "serial/cp949.h"
#include "serial/failure.h"

namespace tqm {

namespace {

QString hex(const QString &text) {
    return QString::fromLatin1(encodeCp949(text).toHex(' ').toUpper());
}

} // namespace

QList<CommandListing> commandListing() {
    const FrozenClock clock(QDateTime(QDate(2007, 9, 11), QTime(12, 34, 56)));
    const QString stampDigits = clockStamp(clock).left(12);
    QList<CommandListing> listing;
    for (const CommandRow &row : commandTable()) {
        const ControlRow *control = findControl(row.control);
        if (!control)
            throw Failure(QStringLiteral("%1 is in the command table but not on the window")
                              .arg(QLatin1String(row.control)));
        QStringList handOvers;
        for (const QString &frame : commandFrames(row, clock)) {
            const qsizetype at = frame.indexOf(stampDigits);
            if (at < 0) {
                handOvers << hex(frame);
                continue;
            }
            QStringList parts{hex(frame.left(at)), QLatin1String(kStampFields),
                              hex(frame.mid(at + stampDigits.size()))};
            parts.removeAll(QString());
            handOvers << parts.join(QLatin1Char(' '));
        }
        listing.append({&row, QString::fromUtf8(control->caption),
                        QString::fromUtf8(row.description).trimmed(), handOvers});
    }
    return listing;
}

} // namespace tqm
