// Runs the tqm810 program for a test with a private configuration folder and collects what it
// printed and how it ended.
#pragma once

#include <QProcess>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace tqm::test {

struct CliResult {
    int status = -1; // -1: it crashed or never ended
    QString out;
    QString err;
};

class Cli {
public:
    Cli();
    // The private ports folder: XDG_CONFIG_HOME/tqm810-console/ports.
    QString portsDir() const;
    QString configDir() const { return config_.path(); }

    // Starts `program` (tqm810 by default) with `args`, runs `meanwhile` (the far end's part),
    // then lets the event loop turn until it ends, so that a simulated device in this process
    // can answer.
    CliResult run(const QStringList &args, const std::function<void()> &meanwhile = {},
                  const QString &program = QString());

    QProcess &process() { return process_; }
    void start(const QStringList &args, const QString &program = QString());
    CliResult finish();

private:
    QTemporaryDir config_;
    QProcess process_;
    QSignalSpy finished_{&process_, &QProcess::finished};
};

} // namespace tqm::test
