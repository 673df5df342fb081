// Builds the LCD frame from the console's own one, so its head, separator and end are never
// spelled here.
#include "cli/lcd_text.h"

#include "cli/exit_status.h"
#include "commands/command_table.h"
#include "serial/cp949.h"
#include "serial/failure.h"

#include <algorithm>

namespace tqm::cli {

namespace {

struct LcdShape {
    QString head; // ESC, "+", the command's code
    QChar separator;
    QChar end;
    int lineBytes = 0;
};

const LcdShape &shape() {
    static const LcdShape s = [] {
        const CommandRow *row = findCommand(u"cmd_Lcd_Display");
        Q_ASSERT(row);
        const QString sample = commandFrames(*row, SystemClock()).constFirst();
        LcdShape made;
        made.head = sample.left(sample.indexOf(QLatin1Char('+')) + 2);
        made.end = sample.back();
        const QString body = sample.mid(made.head.size()).chopped(1);
        const auto sep =
            std::find_if(body.cbegin(), body.cend(), [](QChar c) { return c.unicode() < 0x20; });
        made.separator = *sep;
        for (const QString &line : body.split(made.separator))
            made.lineBytes = std::max(made.lineBytes, int(encodeCp949(line).size()));
        return made;
    }();
    return s;
}

QString describe(QChar c) {
    return QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
}

void check(const QString &line, int number) {
    const QString where = QStringLiteral("LCD line %1 \"%2\"").arg(number).arg(line);
    int bytes = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const qsizetype width = line[i].isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
        const QString ch = line.mid(i, width);
        const char32_t code = ch.toUcs4().value(0);
        if (code < 0x20 || code == 0x7F)
            throw Usage{QStringLiteral("%1: control character %2 at position %3")
                            .arg(where, describe(line[i]))
                            .arg(i + 1)};
        try {
            bytes += int(encodeCp949(ch).size());
        } catch (const Failure &) {
            throw Usage{QStringLiteral("%1: \"%2\" (U+%3) has no code page 949 code")
                            .arg(where, ch)
                            .arg(QString::number(code, 16).toUpper())};
        }
        if (bytes > shape().lineBytes)
            throw Usage{QStringLiteral("%1: too long at \"%2\" (position %3): a line takes at most "
                                       "%4 bytes in code page 949")
                            .arg(where, ch)
                            .arg(i + 1)
                            .arg(shape().lineBytes)};
        i += width - 1;
    }
}

} // namespace

int lcdLineBytes() {
    return shape().lineBytes;
}

QString lcdFrame(const QStringList &lines) {
    if (lines.isEmpty() || lines.size() > 4)
        throw Usage{QStringLiteral("lcd takes one to four lines, not %1").arg(lines.size())};
    QStringList four = lines;
    while (four.size() < 4)
        four << QString();
    for (int i = 0; i < 4; ++i)
        check(four[i], i + 1);
    return shape().head + four.join(shape().separator) + shape().end;
}

} // namespace tqm::cli
