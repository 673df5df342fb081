// Parsing test scripts, and the checks a script's steps share with the sub-commands.
#include "cli/script.h"

#include "cli/aliases.h"
#include "cli/args.h"
#include "cli/exit_status.h"
#include "cli/lcd_text.h"
#include "commands/clock.h"

#include <QStringDecoder>

namespace tqm::cli {

QStringList splitWords(const QString &line) {
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'\'') {
            // As in a shell: every character up to the next ' as it is, backslashes too.
            const qsizetype close = line.indexOf(u'\'', i + 1);
            if (close < 0)
                throw Usage{QStringLiteral("a quote is not closed")};
            word += QStringView(line).sliced(i + 1, close - i - 1);
            inWord = true;
            i = close;
        } else if (c == u'"') {
            inWord = true;
            for (++i;; ++i) {
                if (i >= line.size())
                    throw Usage{QStringLiteral("a quote is not closed")};
                if (line[i] == u'"')
                    break;
                if (line[i] == u'\\') {
                    if (i + 1 < line.size() && (line[i + 1] == u'"' || line[i + 1] == u'\\')) {
                        word += line[++i];
                        continue;
                    }
                    throw Usage{QStringLiteral("inside \"...\" only \\\" and \\\\ are escapes"),
                                QStringLiteral("'...' keeps every backslash")};
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
        throw Usage{QStringLiteral("unknown command \"%1\"").arg(name),
                    QStringLiteral("tqm810 commands lists them")};
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
        if (!ok || step.ms < 0 || step.ms > kLongestWaitMs)
            throw Usage{QStringLiteral("wait wants milliseconds from 0 to %1, not \"%2\"")
                            .arg(kLongestWaitMs)
                            .arg(rest[0])};
    } else {
        throw Usage{QStringLiteral("unknown step \"%1\"").arg(verb)};
    }
    if (step.kind == Step::Send || step.kind == Step::Lcd)
        step.operands = rest;
    return step;
}

} // namespace

QList<Step> parseScript(const QString &fileName, QByteArrayView text) {
    QList<Step> steps;
    int lineNumber = 0;
    for (QByteArrayView rest = text; !rest.isEmpty();) {
        ++lineNumber;
        const qsizetype nl = rest.indexOf('\n');
        QByteArrayView raw = nl < 0 ? rest : rest.first(nl);
        rest = nl < 0 ? QByteArrayView() : rest.sliced(nl + 1);
        try {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString trimmed = QString(utf8.decode(raw)).trimmed();
            if (utf8.hasError())
                throw Usage{QStringLiteral("not UTF-8 text")};
            if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
                continue;
            Step step = parseStep(splitWords(trimmed));
            step.lineNumber = lineNumber;
            step.text = trimmed;
            // What a report repeats of the line: TAP and JUnit carry no control character.
            for (QChar &c : step.text)
                if (c.category() == QChar::Other_Control)
                    c = u' ';
            steps << step;
        } catch (const Usage &bad) {
            throw Usage{QStringLiteral("%1:%2: %3").arg(fileName).arg(lineNumber).arg(bad.message),
                        bad.hint};
        }
    }
    // A script cut short before its first step would pass with nothing tested.
    if (steps.isEmpty())
        throw Usage{QStringLiteral("%1: no steps").arg(fileName)};
    return steps;
}

} // namespace tqm::cli
