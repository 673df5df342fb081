// monitor: what arrives, printed as it comes, until a time, a signal or the loss of the port.
#include "cli/options.h"
#include "cli/output.h"
#include "cli/sub_commands.h"
#include "process/signal_events.h"
#include "receive/byte_rendering.h"
#include "receive/transcript.h"
#include "serial/failure.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>

namespace tqm::cli {

ExitStatus monitorCommand(const Args &args) {
    const PortChoice choice = portChoice(args);
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("monitor takes no arguments but options")};
    double seconds = -1;
    if (const auto text = args.value(QStringLiteral("--seconds"))) {
        bool ok = false;
        seconds = text->toDouble(&ok);
        if (!ok || seconds < 0)
            throw Usage{
                QStringLiteral("--seconds wants a number from 0 up, not \"%1\"").arg(*text)};
    }
    const bool timestamps = args.has(QStringLiteral("--timestamps"));

    SignalEvents stop({SIGINT, SIGTERM});
    if (!stop.ok())
        throw Failure(QStringLiteral("cannot watch for signals"));
    QObject::connect(&stop, &SignalEvents::caught, qApp, [] { qApp->exit(Done); });

    Line line(choice);
    if (!openOrSay(line))
        return PortFailure;
    bool printed = false;
    QObject::connect(&line.port(), &SerialControl::OnComm, qApp, [&] {
        if (!line.port().portOpen())
            return;
        const QByteArray batch = line.port().input();
        if (batch.isEmpty())
            return;
        QString text = renderBatch(batch);
        if (timestamps)
            text = (printed ? QStringLiteral("\n") : QString()) +
                   Transcript::timeText(QDateTime::currentDateTime()) + QLatin1Char('\t') + text;
        printed = true;
        toStdout(text);
        if (stdoutLost())
            qApp->exit(PortFailure); // nobody reads on
    });
    QObject::connect(&line.port(), &SerialControl::linkLost, qApp, [](const QString &reason) {
        toStderr(reason);
        qApp->exit(PortFailure);
    });
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, qApp, [] { qApp->exit(Done); });
    if (seconds >= 0)
        end.start(int(seconds * 1000));
    const auto status = ExitStatus(QCoreApplication::exec());
    if (printed)
        toStdout(QStringLiteral("\n"));
    line.close();
    return status;
}

} // namespace tqm::cli
