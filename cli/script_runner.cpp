// The script runner: one TAP test point per step; a failed expectation does not stop the run, a
// port that goes away ends it for that port.
#include "cli/script_runner.h"

#include "cli/lcd_text.h"
#include "cli/output.h"

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

QString tapPoint(qsizetype number, const QString &prefix, const Outcome &outcome) {
    const bool ok = outcome.result == Outcome::Passed;
    QString point = QStringLiteral("%1 %2 - %3\n")
                        .arg(ok ? QStringLiteral("ok") : QStringLiteral("not ok"))
                        .arg(number)
                        .arg(tapEscaped(prefix + outcome.description));
    if (outcome.result == Outcome::Error)
        return point +
               QStringLiteral("  ---\n  message: %1\n  ...\n").arg(yamlString(outcome.message));
    if (outcome.answers.isEmpty())
        return point;
    point += QStringLiteral("  ---\n  answers:\n");
    for (const QString &answer : outcome.answers)
        point += QStringLiteral("    - %1\n").arg(yamlString(answer));
    return point + QStringLiteral("  ...\n");
}

ScriptRun::ScriptRun(const QList<Step> &steps, Line &line, const AnswerTiming &timing, bool alone)
    : steps_(steps)
    , line_(line)
    , timing_(timing)
    , alone_(alone)
    , outcomes_(steps.size()) {
    // An expectation is named the same whether it was judged or not, so that a report's tests
    // keep their names from one run to the next.
    for (qsizetype i = 0; i < steps.size(); ++i)
        outcomes_[i].description =
            steps[i].kind == Step::Expect || steps[i].kind == Step::Match
                ? steps[i].check.verb() + QLatin1Char(' ') + quoted(steps[i].check.text)
                : steps[i].text;
    connect(&line_, &Line::opened, this, &ScriptRun::onOpened);
    connect(&line_, &Line::ended, this, &ScriptRun::onEnded);
}

void ScriptRun::start() {
    stepTimer_.start();
    line_.openInBackground();
}

void ScriptRun::refuse(const QString &cause) {
    outcomes_[0].result = Outcome::Error;
    outcomes_[0].message = cause;
    status_ = PortFailure;
}

void ScriptRun::onOpened(const QString &failure) {
    if (!failure.isEmpty())
        return portFailed(failure);
    ran_ = true;
    advance();
}

void ScriptRun::advance() {
    for (; current_ < steps_.size(); endStep()) {
        const Step &step = steps_[current_];
        stepTimer_.start();
        exchanges_.clear();
        switch (step.kind) {
        case Step::Send:
            for (const QString &name : step.operands)
                exchanges_ << framesOf(name, QDateTime::currentDateTime());
            break;
        case Step::Lcd:
            exchanges_ << QStringList{lcdFrame(step.operands)};
            break;
        case Step::Clock:
            exchanges_ << framesOf(QStringLiteral("cmdtimessetting"),
                                   step.at.value_or(QDateTime::currentDateTime()));
            break;
        case Step::Wait:
            return line_.startPause(step.ms);
        case Step::Expect:
        case Step::Match:
            judge(step, outcomes_[current_]);
            continue;
        }
        return exchangeNext();
    }
    line_.close();
    finish();
}

void ScriptRun::exchangeNext() {
    const qsizetype k = outcomes_[current_].answers.size();
    std::function<bool(const QByteArray &)> enough;
    if (const Step *check = checkAfter(steps_, current_); check && k + 1 == exchanges_.size())
        enough = [check](const QByteArray &answer) {
            return check->check.met(printedAnswer(answer, false));
        };
    line_.startExchange(exchanges_[k], timing_.waitMs, timing_.idleMs, enough);
}

void ScriptRun::onEnded(const QByteArray &answer, const QString &failure) {
    if (!failure.isEmpty())
        return portFailed(failure);
    Outcome &outcome = outcomes_[current_];
    if (steps_[current_].kind != Step::Wait) {
        outcome.answers << printedAnswer(answer, false);
        if (outcome.answers.size() < exchanges_.size())
            return exchangeNext();
        lastAnswer_ = outcome.answers.constLast();
    }
    outcome.result = Outcome::Passed;
    endStep();
    advance();
}

void ScriptRun::judge(const Step &step, Outcome &outcome) const {
    if (!lastAnswer_) {
        outcome.result = Outcome::Failed;
        outcome.message = QStringLiteral("no answer yet");
        outcome.description += QStringLiteral(" got no answer");
    } else if (step.check.met(*lastAnswer_)) {
        outcome.result = Outcome::Passed;
    } else {
        outcome.result = Outcome::Failed;
        outcome.description += QStringLiteral(" got ") + quoted(*lastAnswer_);
        outcome.message = outcome.description;
    }
}

void ScriptRun::endStep() {
    Outcome &outcome = outcomes_[current_];
    outcome.seconds = double(stepTimer_.elapsed()) / 1000;
    if (outcome.result != Outcome::Passed)
        status_ = worst(status_, NotMet);
    if (alone_)
        toStdout(tapPoint(current_ + 1, {}, outcome));
    ++current_;
}

void ScriptRun::portFailed(const QString &cause) {
    status_ = PortFailure;
    Outcome &outcome = outcomes_[current_];
    outcome.seconds = double(stepTimer_.elapsed()) / 1000;
    outcome.result = Outcome::Error;
    outcome.message = cause;
    if (alone_) {
        toStdout((ran_ ? QStringLiteral("not ok %1 - %2\n")
                             .arg(current_ + 1)
                             .arg(tapEscaped(outcome.description))
                       : QString()) +
                 QStringLiteral("Bail out! %1\n").arg(cause));
        toStderr(cause);
    } else {
        for (qsizetype i = current_ + 1; i < outcomes_.size(); ++i) {
            outcomes_[i].result = Outcome::Error;
            outcomes_[i].message = cause;
        }
    }
    line_.close();
    finish();
}

void ScriptRun::finish() {
    emit finished();
}

} // namespace tqm::cli
