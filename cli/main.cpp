// tqm810: the TQM-810's commands from a shell, a script or a production test line, with the
// console's frames, line settings and rendering, and exit statuses a script can trust.
#include "cli/line.h"
#include "cli/output.h"
#include "cli/sub_commands.h"
#include "process/signal_events.h"
#include "serial/failure.h"

#include <QCoreApplication>

using namespace tqm;
using namespace tqm::cli;

int main(int argc, char *argv[]) {
    outliveWriteFailures();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tqm810"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    const QStringList all = QCoreApplication::arguments().mid(1);
    const QString command = all.value(0);
    const QStringList words = all.mid(1);
    const qsizetype end = words.indexOf(QStringLiteral("--"));
    const QStringList beforeEnd = end < 0 ? words : words.mid(0, end);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help") || beforeEnd.contains(QStringLiteral("--help"))) {
        toStdout(helpText());
        return Done;
    }
    if (command == QLatin1String("--version")) {
        toStdout(QStringLiteral("tqm810 %1\n").arg(QLatin1String(PROJECT_VERSION)));
        return Done;
    }
    try {
        if (command.isEmpty())
            throw Usage{QStringLiteral("no command given")};
        for (const SubCommand &c : subCommands()) {
            if (command != QLatin1String(c.name))
                continue;
            const ExitStatus status = c.run(parseFor(c, words));
            // Read only after the run has ended: a transcript may fail at its very last line.
            const bool unwritten = Line::transcriptFailed() || stdoutLost();
            return worst(status, unwritten ? PortFailure : Done);
        }
        throw Usage{QStringLiteral("unknown command \"%1\"").arg(command)};
    } catch (const Usage &usage) {
        toStderr(usage.hint.isEmpty() ? usage.message
                                      : QStringLiteral("%1 (%2)").arg(usage.message, usage.hint));
        return UsageError;
    } catch (const Failure &failure) {
        toStderr(failure.message());
        return PortFailure;
    }
}
