// run: a test script on the line, reported as TAP.
#include "cli/options.h"
#include "cli/script_runner.h"
#include "cli/sub_commands.h"

#include <QFile>

namespace tqm::cli {

ExitStatus runCommand(const Args &args) {
    const PortChoice choice = portChoice(args);
    if (args.operands.size() != 1)
        throw Usage{QStringLiteral("run wants one script file")};
    RunOptions options;
    options.scriptName = args.operands[0];
    options.junitFile = args.value(QStringLiteral("--junit")).value_or(QString());
    options.waitMs = numberOption(args, QStringLiteral("--wait"), options.waitMs);
    options.idleMs = numberOption(args, QStringLiteral("--idle"), options.idleMs, 1);
    QFile file(options.scriptName);
    if (!file.open(QIODevice::ReadOnly))
        throw Usage{
            QStringLiteral("cannot read %1: %2").arg(options.scriptName, file.errorString())};
    const QList<Step> steps = parseScript(options.scriptName, QString::fromUtf8(file.readAll()));
    Line line(choice);
    return runScript(steps, line, options);
}

} // namespace tqm::cli
