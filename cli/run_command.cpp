// run: a test script on the line, reported as TAP, and as JUnit XML if asked.
#include "cli/options.h"
#include "cli/output.h"
#include "cli/script_runner.h"
#include "cli/sub_commands.h"
#include "serial/failure.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace tqm::cli {

ExitStatus runCommand(const Args &args) {
    const PortChoice choice = portChoice(args);
    if (args.operands.size() != 1)
        throw Usage{QStringLiteral("run wants one script file, or - for standard input")};
    RunOptions options;
    options.waitMs =
        numberOption(args, QStringLiteral("--wait"), options.waitMs, 0, kLongestWaitMs);
    options.idleMs =
        numberOption(args, QStringLiteral("--idle"), options.idleMs, 1, kLongestWaitMs);
    const bool fromStdin = args.operands[0] == QLatin1String("-");
    const QString scriptName = fromStdin ? QStringLiteral("stdin") : args.operands[0];
    QFile file(scriptName);
    if (!(fromStdin ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly)))
        throw Usage{QStringLiteral("cannot read %1: %2").arg(scriptName, file.errorString()), {}};
    const QList<Step> steps = parseScript(scriptName, file.readAll());

    std::optional<JunitReport> report;
    if (const auto junit = args.value(QStringLiteral("--junit")))
        report.emplace(*junit);
    Line line(choice);
    QList<Outcome> outcomes;
    ExitStatus status = runScript(steps, line, options, outcomes);
    if (report) {
        try {
            report->write({{QFileInfo(scriptName).fileName(), outcomes}});
        } catch (const Failure &failure) {
            toStderr(failure.message());
            status = worst(status, PortFailure);
        }
    }
    return status;
}

} // namespace tqm::cli
