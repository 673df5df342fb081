// Running tqm810 for tests.
#include "tests/cli/cli_runner.h"

#include <QDir>
#include <QProcessEnvironment>

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

void Cli::start(const QStringList &args, const QString &program) {
    finished_.clear();
    process_.start(program.isEmpty() ? QStringLiteral(TQM_CLI) : program, args);
}

CliResult Cli::finish() {
    CliResult result;
    if (finished_.isEmpty() && !finished_.wait(60000)) {
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

} // namespace tqm::test
