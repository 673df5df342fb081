// Runs a parsed script on a line, step after step as the answers come: several ports run it side
// by side in one event loop, each at its own pace.
#pragma once

#include "cli/exit_status.h"
#include "cli/junit_report.h"
#include "cli/line.h"
#include "cli/options.h"
#include "cli/script.h"

#include <QElapsedTimer>

namespace tqm::cli {

class ScriptRun : public QObject {
    Q_OBJECT
public:
    // `alone`: the only port of the run. Its TAP test points are printed as each step ends, and
    // a port that cannot open or goes away bails out. Otherwise a failing port fails each of its
    // remaining steps with the cause, and the TAP waits for the whole run.
    ScriptRun(const QList<Step> &steps, Line &line, const AnswerTiming &timing, bool alone);

    // The transcript is attached already: the port opens here.
    void start();
    // Nothing runs: the transcript could not be opened.
    void refuse(const QString &cause);

    bool ran() const { return ran_; } // the port opened
    ExitStatus status() const { return status_; }
    // One entry per step, for the reports.
    const QList<Outcome> &outcomes() const { return outcomes_; }

signals:
    void finished();

private:
    void onOpened(const QString &failure);
    void onEnded(const QByteArray &answer, const QString &failure);
    // Runs the steps that need no answer, up to one that waits for the line or the end.
    void advance();
    void exchangeNext();
    void judge(const Step &step, Outcome &outcome) const;
    void endStep();
    void portFailed(const QString &cause);
    void finish();

    const QList<Step> &steps_;
    Line &line_;
    AnswerTiming timing_;
    bool alone_;
    bool ran_ = false;
    ExitStatus status_ = Done;
    QList<Outcome> outcomes_;
    qsizetype current_ = 0;
    QElapsedTimer stepTimer_;
    QList<QStringList> exchanges_;      // of the current step
    std::optional<QString> lastAnswer_; // printed, of the last send, lcd or clock
};

// The TAP test point of step `number`: "ok 3 - COM2: send version", with the answers, or the
// cause of an error, as YAML.
QString tapPoint(qsizetype number, const QString &prefix, const Outcome &outcome);

} // namespace tqm::cli
