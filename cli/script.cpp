// Parsing test scripts, and the checks a script's steps share with the sub-commands.
#include "cli/script.h"

#include "cli/aliases.h"
#include "cli/exit_status.h"
#include "cli/lcd_text.h"
#include "commands/clock.h"

namespace tqm::cli {

QStringList splitWords(const QString &line) {
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            inWord = true;
            for (++i;; ++i) {
                if (i >= line.size())
                    throw Usage{QStringLiteral("a quote is not closed")};
                if (line[i] == QLatin1Char('"'))
                    break;
                if (line[i] == QLatin1Char('\\')) {
                    if (i + 1 < line.size() &&
                        (line[i + 1] == QLatin1Char('"') || line[i + 1] == QLatin1Char('\\'))) {
                        word += line[++i];
                        continue;
                    }
                    throw Usage{QStringLiteral("inside quotes only \\\" and \\\\ are escapes")};
                }
                word += line[i];
            }
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

QDateTime parseLocalTime(const QString &text) {
    static const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QDateTime at = QDateTime::fromString(text, format);
    // A time the calendar or the clock change skips comes back moved, or not at all.
    if (!at.isValid() || at.toString(format) != text)
        throw Usage{QStringLiteral("\"%1\" is not a local time YYYY-MM-DD hh:mm:ss").arg(text)};
    return at;
}

QStringList framesOf(const QString &name, const QDateTime &clockReading) {
    const CommandRow *row = findByNameOrAlias(name);
    if (!row)
        throw Usage{
            QStringLiteral("unknown command \"%1\" (tqm810 commands lists them)").arg(name)};
    return commandFrames(*row, FrozenClock(clockReading));
}

namespace {

Step parseStep(const QStringList &words) {
    Step step;
    const QString &verb = words.first();
    const QStringList rest = words.mid(1);
    const auto exactlyOne = [&] {
        if (rest.size() != 1)
            throw Usage{QStringLiteral("%1 takes exactly one argument").arg(verb)};
    };
    if (verb == QLatin1String("send")) {
        step.kind = Step::Send;
        if (rest.isEmpty())
            throw Usage{QStringLiteral("send wants at least one command")};
        for (const QString &name : rest)
            framesOf(name, QDateTime::currentDateTime()); // checked now, stamped when sent
    } else if (verb == QLatin1String("lcd")) {
        step.kind = Step::Lcd;
        lcdFrame(rest);
    } else if (verb == QLatin1String("clock")) {
        step.kind = Step::Clock;
        if (rest.size() == 2 && rest[0] == QLatin1String("--at"))
            step.at = parseLocalTime(rest[1]);
        else if (!rest.isEmpty())
            throw Usage{QStringLiteral("clock takes nothing or --at \"YYYY-MM-DD hh:mm:ss\"")};
    } else if (verb == QLatin1String("expect") || verb == QLatin1String("match")) {
        const bool expect = verb == QLatin1String("expect");
        step.kind = expect ? Step::Expect : Step::Match;
        exactlyOne();
        step.check = Expectation::of(expect ? Expectation::Expect : Expectation::Match, rest[0]);
    } else if (verb == QLatin1String("wait")) {
        step.kind = Step::Wait;
        exactlyOne();
        bool ok = false;
        step.ms = rest[0].toInt(&ok);
        if (!ok || step.ms < 0)
            throw Usage{QStringLiteral("wait wants milliseconds, not \"%1\"").arg(rest[0])};
    } else {
        throw Usage{QStringLiteral("unknown step \"%1\"").arg(verb)};
    }
    if (step.kind == Step::Send || step.kind == Step::Lcd)
        step.operands = rest;
    return step;
}

} // namespace

QList<Step> parseScript(const QString &fileName, const QString &text) {
    QList<Step> steps;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        try {
            Step step = parseStep(splitWords(trimmed));
            step.lineNumber = int(i + 1);
            step.text = trimmed;
            steps << step;
        } catch (const Usage &bad) {
            throw Usage{QStringLiteral("%1:%2: %3").arg(fileName).arg(i + 1).arg(bad.message)};
        }
    }
    return steps;
}

} // namespace tqm::cli
