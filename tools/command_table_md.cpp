// Prints the README's table of what each button sends, straight from the control and command
// tables, so the README can be regenerated and checked against the code.
#include "app/control_table.h"
#include "commands/clock.h"
#include "commands/command_table.h"
#include "serial/cp949.h"
#include "serial/failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace {

// The stamp's twelve digits, two for each field, in the order they go out.
constexpr const char *kStampFields = "YY MM DD hh mm ss";

QString caption(const char *control) {
    for (const tqm::ControlRow &row : tqm::controlTable())
        if (qstrcmp(row.name, control) == 0)
            return QString::fromUtf8(row.caption);
    throw tqm::Failure(QStringLiteral("%1 is in the command table but not on the window")
                           .arg(QLatin1String(control)));
}

// Table cells take the texts as they are; only what Markdown would read as markup is escaped.
QString cell(const QString &text) {
    QString escaped;
    for (QChar c : text.trimmed()) {
        if (QStringView(u"\\|*_`<").contains(c))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

QString hex(const QString &text) {
    return QString::fromLatin1(tqm::encodeCp949(text).toHex(' ').toUpper());
}

// One hand-over as the device receives it; the clock stamp, if there, by its field names.
QString wireBytes(const QString &frame, const QString &stampDigits, bool &usedStamp) {
    const qsizetype at = frame.indexOf(stampDigits);
    if (at < 0)
        return hex(frame);
    usedStamp = true;
    QStringList parts{hex(frame.left(at)), QLatin1String(kStampFields),
                      hex(frame.mid(at + stampDigits.size()))};
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

QString table() {
    // Always the same moment, so the output never changes; its digits are shown as field names.
    const tqm::FrozenClock clock(QDateTime(QDate(2007, 9, 11), QTime(12, 34, 56)));
    const QString stampDigits = tqm::clockStamp(clock).left(12);
    bool usedStamp = false;

    QString out = QStringLiteral("| control | caption | description | bytes on the wire |\n"
                                 "|---|---|---|---|\n");
    for (const tqm::CommandRow &row : tqm::commandTable()) {
        QStringList handOvers;
        for (const QString &frame : tqm::commandFrames(row, clock))
            handOvers << QLatin1Char('`') + wireBytes(frame, stampDigits, usedStamp) +
                             QLatin1Char('`');
        out += QStringLiteral("| `%1` | %2 | %3 | %4 |\n")
                   .arg(QLatin1String(row.control), cell(caption(row.control)),
                        cell(QString::fromUtf8(row.description)),
                        handOvers.join(QLatin1String(", then ")));
    }
    out +=
        QStringLiteral("\nBytes in hex, code page 949; one code span per hand-over to the port.\n");
    if (usedStamp)
        out += QStringLiteral("`%1`: the PC's date and time at the click, two ASCII digits each "
                              "(`30` to `39`).\n")
                   .arg(QLatin1String(kStampFields));
    return out;
}

} // namespace

int main() {
    try {
        const QByteArray text = table().toUtf8();
        return std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size())
                   ? 0
                   : 1;
    } catch (const tqm::Failure &failure) {
        std::fprintf(stderr, "tqm810-command-table: %s\n", qPrintable(failure.message()));
        return 1;
    }
}
