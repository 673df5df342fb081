// The JUnit XML report of a run, as CI servers read it: opened before anything is sent, written
// when the run is over.
#pragma once

#include <QFile>
#include <QList>
#include <QString>

namespace tqm::cli {

// What became of one step.
struct Outcome {
    QString description;
    enum Result { Passed, Failed, Error, Skipped } result = Skipped;
    QString message;
    double seconds = 0;
};

// One script's steps, run on one line.
struct Suite {
    QString name;
    QList<Outcome> outcomes;
};

class JunitReport {
public:
    // Opens and empties `fileName` now: a report that cannot be written stops the run before the
    // device sees anything, and a report left from an earlier run never passes for this one.
    // Throws Failure.
    explicit JunitReport(const QString &fileName);

    // One <testsuite> per suite. Throws Failure when the file does not take it all.
    void write(const QList<Suite> &suites);

private:
    QFile file_;
};

} // namespace tqm::cli
