// Running tqm810 for tests.
#include "tests/cli/cli_runner.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QSignalSpy>

namespace tqm::test {

Cli::Cli() {
    QDir().mkpath(portsDir());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config_.path());
    // No display is needed: a display that is not there proves it.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process_.setProcessEnvironment(env);
}

QString Cli::portsDir() const {
    return config_.path() + QStringLiteral("/tqm810-console/ports");
}

void Cli::start(const QStringList &args, const QString &program, const QStringList &prefix) {
    const QString cli = QStringLiteral(TQM_CLI);
    if (prefix.isEmpty())
        process_.start(program.isEmpty() ? cli : program, args);
    else
        process_.start(prefix.first(), prefix.mid(1) + QStringList{cli} + args);
}

CliResult Cli::finish() {
    CliResult result;
    if (!process_.waitForFinished(60000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    result.out = QString::fromUtf8(process_.readAllStandardOutput());
    result.err = QString::fromUtf8(process_.readAllStandardError());
    if (process_.exitStatus() == QProcess::NormalExit)
        result.status = process_.exitCode();
    return result;
}

CliResult Cli::run(const QStringList &args, const std::function<void()> &meanwhile,
                   const QString &program) {
    start(args, program);
    if (!process_.waitForStarted(30000))
        return {};
    if (meanwhile)
        meanwhile();
    return finish();
}

CliResult Cli::runLooping(const QStringList &args, const QByteArray &input) {
    start(args);
    process_.write(input);
    process_.closeWriteChannel();
    QSignalSpy finished(&process_, &QProcess::finished);
    if (!finished.wait(60000))
        return {};
    return finish();
}

CliResult Cli::runAs(const QStringList &prefix, const QStringList &args) {
    start(args, QString(), prefix);
    return finish();
}

} // namespace tqm::test
