// Prints the README's table of what each button sends, straight from the control and command
// tables, so the README can be regenerated and checked against the code.
#include "commands/command_listing.h"
#include "serial/failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace {

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

QString table() {
    QString out = QStringLiteral("| control | caption | description | bytes on the wire |\n"
                                 "|---|---|---|---|\n");
    bool usedStamp = false;
    for (const tqm::CommandListing &c : tqm::commandListing()) {
        QStringList handOvers;
        for (const QString &bytes : c.handOvers) {
            usedStamp = usedStamp || bytes.contains(QLatin1String(tqm::kStampFields));
            handOvers << QLatin1Char('`') + bytes + QLatin1Char('`');
        }
        out += QStringLiteral("| `%1` | %2 | %3 | %4 |\n")
                   .arg(QLatin1String(c.row->control), cell(c.caption), cell(c.description),
                        handOvers.join(QLatin1String(", then ")));
    }
    out +=
        QStringLiteral("\nBytes in hex, code page 949; one code span per hand-over to the port.\n");
    if (usedStamp)
        out += QStringLiteral("`%1`: the PC's date and time at the click, two ASCII digits each "
                              "(`30` to `39`).\n")
                   .arg(QLatin1String(tqm::kStampFields));
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
