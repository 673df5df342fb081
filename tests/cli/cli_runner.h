// Runs the tqm810 program for a test with a private configuration folder and collects what it
// printed and how it ended.
#pragma once

#include <QProcess>
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

    // Starts tqm810 with `args`, runs `meanwhile` (the far end's part), then waits for the end.
    CliResult run(const QStringList &args, const std::function<void()> &meanwhile = {},
                  const QString &program = QString());
    // Starts tqm810 with `args` and `input` on its stdin, and lets the event loop turn until it
    // ends, so that a simulated device in this process can answer.
    CliResult runLooping(const QStringList &args, const QByteArray &input = {});
    // Runs `program` (e.g. the privilege dropper) with tqm810's path after `prefix`.
    CliResult runAs(const QStringList &prefix, const QStringList &args);

    QProcess &process() { return process_; }
    void start(const QStringList &args, const QString &program = QString(),
               const QStringList &prefix = {});
    CliResult finish();

private:
    QTemporaryDir config_;
    QProcess process_;
};

} // namespace tqm::test
