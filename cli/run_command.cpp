// run: a test script on one port or several side by side, reported as one TAP stream, and as
// JUnit XML if asked.
#include "cli/options.h"
#include "cli/output.h"
#include "cli/script_runner.h"
#include "cli/sub_commands.h"
#include "serial/failure.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace tqm::cli {

namespace {

struct Port {
    std::unique_ptr<Line> line;
    std::unique_ptr<ScriptRun> run;
};

// "COM2: 3 passed, 1 failed (first: line 4: expect ...)", for the summary on stderr.
QString summaryLine(const QString &name, const QList<Step> &steps, const QList<Outcome> &outcomes) {
    qsizetype passed = 0;
    QString first;
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        const Outcome &o = outcomes[i];
        passed += o.result == Outcome::Passed;
        if (first.isEmpty() && o.result == Outcome::Failed)
            first = QStringLiteral("line %1: %2").arg(steps[i].lineNumber).arg(o.description);
        else if (first.isEmpty() && o.result == Outcome::Error)
            first = o.message;
    }
    QString line = QStringLiteral("%1: %2 passed").arg(name).arg(passed);
    if (passed < outcomes.size())
        line += QStringLiteral(", %1 failed (first: %2)").arg(outcomes.size() - passed).arg(first);
    return line;
}

// Two ports that lead to one device would take each other's answers.
void refuseSharedDestinations(const std::vector<Port> &ports) {
    for (size_t i = 0; i < ports.size(); ++i)
        for (size_t k = i + 1; k < ports.size(); ++k)
            if (const QString d = ports[i].line->destination();
                !d.isEmpty() && d == ports[k].line->destination())
                throw Usage{QStringLiteral("%1 and %2 lead to the same device %3")
                                .arg(ports[i].line->name(), ports[k].line->name(), d),
                            {}};
}

// Every port's script at once, in one event loop, until the last has finished; with several,
// stderr says when each has.
void runSideBySide(std::vector<Port> &ports, bool alone) {
    size_t running = ports.size();
    QEventLoop loop;
    for (Port &port : ports)
        QObject::connect(port.run.get(), &ScriptRun::finished, &loop,
                         [&, name = port.line->name()] {
                             if (!alone)
                                 toStderr(QStringLiteral("%1 finished (%2 of %3)")
                                              .arg(name)
                                              .arg(ports.size() - running + 1)
                                              .arg(ports.size()));
                             if (--running == 0)
                                 loop.quit();
                         });
    for (Port &port : ports)
        port.run->start();
    loop.exec();
}

// The TAP of a run on several ports, port by port, then the summary on stderr.
void printSeveral(const std::vector<Port> &ports, const QList<Step> &steps, const QString &head) {
    QString tap = head;
    QStringList unopened;
    QStringList summary;
    qsizetype number = 0;
    for (const Port &port : ports) {
        const QString name = port.line->name();
        const QList<Outcome> &outcomes = port.run->outcomes();
        if (!port.run->ran())
            unopened << outcomes.first().message;
        for (const Outcome &outcome : outcomes)
            tap += tapPoint(++number, name + QStringLiteral(": "), outcome);
        summary << summaryLine(name, steps, outcomes);
    }
    // A stream that bails out is read no further: only when no port could run at all.
    toStdout(unopened.size() == qsizetype(ports.size())
                 ? head + QStringLiteral("Bail out! no port opened: %1\n")
                              .arg(unopened.join(QStringLiteral("; ")))
                 : tap);
    for (const QString &line : summary)
        toStderr(line);
}

} // namespace

ExitStatus runCommand(const Args &args) {
    const QList<PortChoice> choices = portChoices(args);
    if (args.operands.size() != 1)
        throw Usage{QStringLiteral("run wants one script file, or - for standard input")};
    const AnswerTiming timing = answerTiming(args);
    const bool fromStdin = args.operands[0] == QLatin1String("-");
    const QString scriptName = fromStdin ? QStringLiteral("stdin") : args.operands[0];
    QFile file(scriptName);
    if (!(fromStdin ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly)))
        throw Usage{QStringLiteral("cannot read %1: %2").arg(scriptName, file.errorString()), {}};
    const QList<Step> steps = parseScript(scriptName, file.readAll());

    const bool alone = choices.size() == 1;
    std::vector<Port> ports;
    const auto seen = std::make_shared<PortHolderScan>(); // one look for every port
    for (const PortChoice &choice : choices) {
        auto line = std::make_unique<Line>(choice, seen);
        auto run = std::make_unique<ScriptRun>(steps, *line, timing, alone);
        ports.push_back({std::move(line), std::move(run)});
    }
    refuseSharedDestinations(ports);
    std::optional<JunitReport> report;
    if (const auto junit = args.value(QStringLiteral("--junit")))
        report.emplace(*junit);

    // 13, not 14: the version every TAP consumer of a production line reads, Perl's prove too.
    const QString head =
        QStringLiteral("TAP version 13\n1..%1\n").arg(steps.size() * qsizetype(ports.size()));
    if (alone)
        toStdout(head);
    bool transcribed = true;
    try {
        for (Port &port : ports)
            port.line->attachTranscript(&port == &ports.front() ? nullptr
                                                                : ports.front().line.get());
    } catch (const TranscriptUnavailable &) {
        // Said on stderr already; nothing has been sent.
        const QString cause = ports.front().line->transcriptError();
        toStdout((alone ? QString() : head) + QStringLiteral("Bail out! %1\n").arg(cause));
        for (Port &port : ports)
            port.run->refuse(cause);
        transcribed = false;
    }

    if (transcribed)
        runSideBySide(ports, alone);

    ExitStatus status = Done;
    QList<Suite> suites;
    for (const Port &port : ports) {
        status = worst(status, port.run->status());
        suites.append(
            {alone ? QFileInfo(scriptName).fileName()
                   : port.line->name() + QStringLiteral(": ") + QFileInfo(scriptName).fileName(),
             port.run->outcomes()});
    }
    if (!alone && transcribed)
        printSeveral(ports, steps, head);
    if (report) {
        try {
            report->write(suites);
        } catch (const Failure &failure) {
            toStderr(failure.message());
            status = worst(status, PortFailure);
        }
    }
    return status;
}

} // namespace tqm::cli
