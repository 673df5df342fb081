// tqm810-sim: a simulated TQM-810 on a pseudo-terminal, for trying the console without hardware.
#include "process/command_line.h"
#include "process/signal_events.h"
#include "sim/pty_device.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Scripts read stdout as it comes, so every line is flushed.
void say(FILE *to, const QString &line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    fflush(to);
}

QString hexBytes(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Points DIR/comN at the slave; an existing file of that name is replaced only if it is a link.
bool installLink(const QString &link, const QString &target, QString &error) {
    const QByteArray linkPath = QFile::encodeName(link);
    struct stat st {};
    if (lstat(linkPath.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = QStringLiteral("%1 exists and is not a symbolic link; left alone").arg(link);
        return false;
    }
    // Made under a private name and renamed over the old link, so the name is never missing.
    const QByteArray temp = linkPath + ".tmp" + QByteArray::number(qint64(getpid()));
    ::unlink(temp.constData());
    if (::symlink(QFile::encodeName(target).constData(), temp.constData()) != 0 ||
        ::rename(temp.constData(), linkPath.constData()) != 0) {
        error =
            QStringLiteral("cannot link %1: %2").arg(link, QString::fromLocal8Bit(strerror(errno)));
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

constexpr tqm::OptionSpec kOptions[] = {
    {"--help", nullptr, "Displays help on commandline options.", "-h"},
    {"--help-all", nullptr, "Displays help including Qt specific options."},
    {"--version", nullptr, "Displays version information.", "-v"},
    {"--ports-dir", "DIR", "Link DIR/comN to the device path."},
    {"--com", "N", "Port number N for --ports-dir (default 1)."},
    {"--replies", "FILE", "Replace built-in replies with those in FILE."},
    {"--quiet", nullptr, "Print only the device path, no state lines."},
    {"--record", "FILE", "Append the bytes of every frame received to FILE, as they came."},
};

const char *const kDescription =
    "A SIMULATED TQM-810 terminal on a pseudo-terminal, for trying the console without the "
    "device.\n"
    "Prints the device path to open as its first line, then one line per frame received.\n"
    "This is a simulation: apart from the sensor status reply (STX, status, ETX, CR), its replies "
    "are invented stand-ins, not what a real device sends.\n"
    "A reply file has lines +CODE = \"bytes\" (DATA = \"bytes\" for the A..Z run), '#' comments, "
    "and the escapes \\xHH \\r \\n \\t \\0 \\e \\\\ \\\" and \\p (the memory read point); a "
    "reply may have up to 16 MiB. See sim/replies.example.";

// In the layout technicians know from Qt programs: the names in a column as wide as the longest.
QString helpText() {
    QStringList heads;
    for (const tqm::OptionSpec &o : kOptions)
        heads << (o.alias ? QLatin1String(o.alias) + QStringLiteral(", ") : QString()) +
                     QLatin1String(o.name) +
                     (o.value ? QStringLiteral(" <%1>").arg(QLatin1String(o.value)) : QString());
    qsizetype width = 0;
    for (const QString &head : std::as_const(heads))
        width = std::max(width, head.size());
    QString text =
        QStringLiteral("Usage: %1 [options]\n%2\n\nOptions:\n")
            .arg(QCoreApplication::arguments().constFirst(), QString::fromUtf8(kDescription));
    for (qsizetype i = 0; i < heads.size(); ++i)
        text += QStringLiteral("  ") + heads[i].leftJustified(width + 2) +
                QString::fromUtf8(kOptions[i].help) + QLatin1Char('\n');
    return text;
}

QString errorText(const tqm::CommandLineError &error) {
    switch (error.kind) {
    case tqm::CommandLineError::UnknownOption:
        break;
    case tqm::CommandLineError::MissingValue:
        return QStringLiteral("Missing value after '%1'.").arg(error.word);
    case tqm::CommandLineError::UnexpectedValue:
        return QStringLiteral("Unexpected value after '%1'.").arg(error.option);
    }
    QString name = error.option;
    while (name.startsWith(u'-'))
        name.remove(0, 1);
    return QStringLiteral("Unknown option '%1'.").arg(name);
}

// Leaves the link alone if another simulator has taken the name over meanwhile.
void removeLink(const QString &link, const QString &target) {
    if (QFileInfo(link).symLinkTarget() == QFileInfo(target).absoluteFilePath())
        QFile::remove(link);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tqm810-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    tqm::CommandLine options;
    try {
        options = tqm::parseCommandLine(QCoreApplication::arguments().mid(1), kOptions);
        // It takes no operands; a single dash here is an option it does not know.
        for (const QString &word : std::as_const(options.operands))
            if (word.startsWith(u'-') && word.size() > 1)
                throw tqm::CommandLineError{tqm::CommandLineError::UnknownOption, word, word};
    } catch (const tqm::CommandLineError &error) {
        say(stderr, QStringLiteral("tqm810-sim: ") + errorText(error));
        return 1;
    }
    if (options.has(QStringLiteral("--help")) || options.has(QStringLiteral("--help-all"))) {
        const QByteArray text = helpText().toUtf8();
        fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    if (options.has(QStringLiteral("--version"))) {
        say(stdout, QStringLiteral("tqm810-sim %1").arg(QLatin1String(PROJECT_VERSION)));
        return 0;
    }

    bool comOk = false;
    const int comNumber =
        options.value(QStringLiteral("--com")).value_or(QStringLiteral("1")).toInt(&comOk);
    if (!comOk || comNumber < 1 || comNumber > 99) {
        say(stderr, QStringLiteral("tqm810-sim: --com wants a port number from 1 to 99"));
        return 2;
    }

    tqm::sim::PtyDevice pty;
    if (const auto replies = options.value(QStringLiteral("--replies"))) {
        const tqm::sim::ReplyFile file = tqm::sim::loadReplyFile(*replies);
        if (!file.ok()) {
            say(stderr, QStringLiteral("tqm810-sim: ") + file.message(*replies));
            return 2;
        }
        pty.device().setReplies(file.table);
    }
    if (!pty.open()) {
        say(stderr, QStringLiteral("tqm810-sim: ") + pty.errorString());
        return 1;
    }

    tqm::SignalEvents stop({SIGINT, SIGTERM, SIGHUP});
    if (!stop.ok()) {
        say(stderr, QStringLiteral("tqm810-sim: cannot make the signal pipe"));
        return 1;
    }
    QObject::connect(&stop, &tqm::SignalEvents::caught, &app, [] { QCoreApplication::quit(); });

    QString link;
    if (const auto portsDir = options.value(QStringLiteral("--ports-dir"))) {
        const QString dir = *portsDir;
        QString error;
        link = QDir(dir).filePath(QStringLiteral("com%1").arg(comNumber));
        if (!QDir().mkpath(dir) || !installLink(link, pty.slavePath(), error)) {
            say(stderr, QStringLiteral("tqm810-sim: ") +
                            (error.isEmpty() ? QStringLiteral("cannot make %1").arg(dir) : error));
            return 1;
        }
    }

    const std::optional<QString> recordPath = options.value(QStringLiteral("--record"));
    QFile recordFile(recordPath.value_or(QString()));
    if (recordPath) {
        if (!recordFile.open(QIODevice::Append)) {
            say(stderr, QStringLiteral("tqm810-sim: %1: %2")
                            .arg(recordFile.fileName(), recordFile.errorString()));
            return 1;
        }
        QObject::connect(&pty, &tqm::sim::PtyDevice::frameReceived,
                         [&recordFile](const tqm::sim::Frame &frame) {
                             recordFile.write(frame.raw);
                             recordFile.flush();
                         });
    }

    say(stdout, pty.slavePath());
    if (!options.has(QStringLiteral("--quiet")))
        QObject::connect(&pty, &tqm::sim::PtyDevice::stateLine,
                         [](const QString &line) { say(stdout, line); });
    QObject::connect(&pty, &tqm::sim::PtyDevice::garbage,
                     [](const QByteArray &bytes, const QString &why) {
                         say(stderr, QStringLiteral("skipped %1 byte(s), %2: %3")
                                         .arg(bytes.size())
                                         .arg(why, hexBytes(bytes)));
                     });
    QObject::connect(
        &pty, &tqm::sim::PtyDevice::replyDropped, [](qsizetype bytes, qsizetype unread) {
            say(stderr,
                QStringLiteral("dropped a reply of %1 byte(s): %2 byte(s) of earlier replies "
                               "are still unread")
                    .arg(bytes)
                    .arg(unread));
        });
    QObject::connect(&pty, &tqm::sim::PtyDevice::failed, &app, [](const QString &why) {
        say(stderr, QStringLiteral("tqm810-sim: ") + why);
        QCoreApplication::exit(1);
    });

    const int status = app.exec();
    if (!link.isEmpty())
        removeLink(link, pty.slavePath());
    return status;
}
