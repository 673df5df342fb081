// tqm810-sim: a simulated TQM-810 on a pseudo-terminal, for trying the console without hardware.
#include "process/signal_events.h"
#include "sim/pty_device.h"

#include <QCommandLineParser>
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

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A SIMULATED TQM-810 terminal on a pseudo-terminal, for trying the console without the "
        "device.\n"
        "Prints the device path to open as its first line, then one line per frame received.\n"
        "This is a simulation: apart from the sensor status reply (STX, status, ETX, CR), its "
        "replies are invented stand-ins, not what a real device sends.\n"
        "A reply file has lines +CODE = \"bytes\" (DATA = \"bytes\" for the A..Z run), '#' "
        "comments, and the escapes \\xHH \\r \\n \\t \\0 \\e \\\\ \\\" and \\p (the memory "
        "read point); a reply may have up to 16 MiB. See sim/replies.example."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portsDir(QStringLiteral("ports-dir"),
                                      QStringLiteral("Link DIR/comN to the device path."),
                                      QStringLiteral("DIR"));
    const QCommandLineOption com(QStringLiteral("com"),
                                 QStringLiteral("Port number N for --ports-dir (default 1)."),
                                 QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption replies(QStringLiteral("replies"),
                                     QStringLiteral("Replace built-in replies with those in FILE."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Print only the device path, no state lines."));
    parser.addOptions({portsDir, com, replies, quiet});
    parser.process(app);

    bool comOk = false;
    const int comNumber = parser.value(com).toInt(&comOk);
    if (!comOk || comNumber < 1 || comNumber > 99) {
        say(stderr, QStringLiteral("tqm810-sim: --com wants a port number from 1 to 99"));
        return 2;
    }

    tqm::sim::PtyDevice pty;
    if (parser.isSet(replies)) {
        const tqm::sim::ReplyFile file = tqm::sim::loadReplyFile(parser.value(replies));
        if (!file.ok()) {
            say(stderr, QStringLiteral("tqm810-sim: ") + file.message(parser.value(replies)));
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
    if (parser.isSet(portsDir)) {
        const QString dir = parser.value(portsDir);
        QString error;
        link = QDir(dir).filePath(QStringLiteral("com%1").arg(comNumber));
        if (!QDir().mkpath(dir) || !installLink(link, pty.slavePath(), error)) {
            say(stderr, QStringLiteral("tqm810-sim: ") +
                            (error.isEmpty() ? QStringLiteral("cannot make %1").arg(dir) : error));
            return 1;
        }
    }

    say(stdout, pty.slavePath());
    if (!parser.isSet(quiet))
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
