// The script runner: one TAP test point per step, a failed expectation does not stop the run,
// a lost port bails out.
#include "cli/script_runner.h"

#include "cli/lcd_text.h"
#include "cli/output.h"
#include "serial/failure.h"

#include <QElapsedTimer>

namespace tqm::cli {

namespace {

// "#" would start a directive and "\" escapes it in a TAP description.
QString tapEscaped(const QString &text) {
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('#') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString quoted(const QString &text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// A YAML double-quoted scalar.
QString yamlString(const QString &text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

// The expectation the next step puts on this step's answer, so the answer ends when it is met.
const Step *checkAfter(const QList<Step> &steps, qsizetype i) {
    if (i + 1 < steps.size() &&
        (steps[i + 1].kind == Step::Expect || steps[i + 1].kind == Step::Match))
        return &steps[i + 1];
    return nullptr;
}

} // namespace

ExitStatus runScript(const QList<Step> &steps, Line &line, const RunOptions &options,
                     QList<Outcome> &outcomes) {
    outcomes = QList<Outcome>(steps.size());
    for (qsizetype i = 0; i < steps.size(); ++i)
        outcomes[i].description = steps[i].text;
    // 13, not 14: the version every TAP consumer of a production line reads, Perl's prove too.
    toStdout(QStringLiteral("TAP version 13\n1..%1\n").arg(steps.size()));
    ExitStatus status = Done;

    // A transcript that cannot be opened has said so on stderr already.
    const auto bailOut = [&](const QString &cause, bool toStderrToo) {
        toStdout(QStringLiteral("Bail out! %1\n").arg(cause));
        if (toStderrToo)
            toStderr(cause);
        if (!outcomes.isEmpty()) {
            outcomes[0].result = Outcome::Error;
            outcomes[0].message = cause;
        }
        return PortFailure;
    };
    try {
        line.open();
    } catch (const TranscriptUnavailable &) {
        return bailOut(line.transcriptError(), false);
    } catch (const Failure &failure) {
        return bailOut(failure.message(), true);
    }

    std::optional<QString> lastAnswer; // printed, of the last send, lcd or clock
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const Step &step = steps[i];
        Outcome &outcome = outcomes[i];
        QElapsedTimer timer;
        timer.start();
        QStringList diagnostics;
        try {
            QList<QStringList> exchanges;
            switch (step.kind) {
            case Step::Send:
                for (const QString &name : step.operands)
                    exchanges << framesOf(name, QDateTime::currentDateTime());
                break;
            case Step::Lcd:
                exchanges << QStringList{lcdFrame(step.operands)};
                break;
            case Step::Clock:
                exchanges << framesOf(QStringLiteral("cmdtimessetting"),
                                      step.at.value_or(QDateTime::currentDateTime()));
                break;
            case Step::Wait:
                line.pause(step.ms);
                break;
            case Step::Expect:
            case Step::Match:
                break;
            }
            if (!exchanges.isEmpty()) {
                const Step *check = checkAfter(steps, i);
                QStringList answers;
                for (qsizetype k = 0; k < exchanges.size(); ++k) {
                    std::function<bool(const QByteArray &)> enough;
                    if (check && k + 1 == exchanges.size())
                        enough = [check](const QByteArray &answer) {
                            return check->check.met(printedAnswer(answer, false));
                        };
                    answers << printedAnswer(
                        line.exchange(exchanges[k], options.waitMs, options.idleMs, enough), false);
                }
                lastAnswer = answers.constLast();
                for (const QString &answer : answers)
                    diagnostics << QStringLiteral("    - %1").arg(yamlString(answer));
                outcome.result = Outcome::Passed;
            } else if (step.kind == Step::Expect || step.kind == Step::Match) {
                outcome.description =
                    step.check.verb() + QLatin1Char(' ') + quoted(step.check.text);
                if (!lastAnswer) {
                    outcome.result = Outcome::Failed;
                    outcome.message = QStringLiteral("no answer yet");
                    outcome.description += QStringLiteral(" got no answer");
                } else if (step.check.met(*lastAnswer)) {
                    outcome.result = Outcome::Passed;
                } else {
                    outcome.result = Outcome::Failed;
                    outcome.description += QStringLiteral(" got ") + quoted(*lastAnswer);
                    outcome.message = outcome.description;
                }
            } else {
                outcome.result = Outcome::Passed;
            }
        } catch (const Failure &failure) {
            outcome.seconds = double(timer.elapsed()) / 1000;
            outcome.result = Outcome::Error;
            outcome.message = failure.message();
            toStdout(QStringLiteral("not ok %1 - %2\nBail out! %3\n")
                         .arg(i + 1)
                         .arg(tapEscaped(outcome.description), failure.message()));
            toStderr(failure.message());
            return PortFailure;
        }
        outcome.seconds = double(timer.elapsed()) / 1000;
        const bool ok = outcome.result == Outcome::Passed;
        if (!ok)
            status = worst(status, NotMet);
        QString report = QStringLiteral("%1 %2 - %3\n")
                             .arg(ok ? QStringLiteral("ok") : QStringLiteral("not ok"))
                             .arg(i + 1)
                             .arg(tapEscaped(outcome.description));
        if (!diagnostics.isEmpty())
            report += QStringLiteral("  ---\n  answers:\n") + diagnostics.join(QLatin1Char('\n')) +
                      QStringLiteral("\n  ...\n");
        toStdout(report);
    }
    line.close();
    return status;
}

} // namespace tqm::cli
