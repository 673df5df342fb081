// A serial device the operator may not open: the console starts, leaves the port out of its list,
// and tells the cause and the fix; a user who follows the fix gets the port.
#include "tests/support/pty_pair.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <grp.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace tqm::test;
using namespace Qt::StringLiterals;

class PermissionDeniedTest : public QObject {
    Q_OBJECT
private slots:
    void deviceNotOpenable_data();
    void deviceNotOpenable();
};

namespace {

// What the operator reads when COM1 is the pseudo-terminal %1 and this user may not open it.
const char *const kDenied =
    "COM1 (%1): Permission denied - this user may not open the device; add the user to the "
    "dialout group (sudo adduser $USER dialout) and log in again";

// Runs the console's window in a child process, as `nobody` when we are root; what it printed.
QString startConsole(const QString &portsDir, const QStringList &userGroups) {
    QStringList args{portsDir};
    if (::geteuid() == 0)
        args << QStringLiteral("nobody") << userGroups;
    QProcess console;
    console.start(QStringLiteral(TQM_CONSOLE_AS_USER), args);
    if (!console.waitForFinished(60000) || console.exitCode() != 0)
        return QStringLiteral("<console failed: exit %1: %2>")
            .arg(console.exitCode())
            .arg(QString::fromLocal8Bit(console.readAllStandardError()));
    return QString::fromUtf8(console.readAllStandardOutput());
}

// A pseudo-terminal whose number no lock file names: a lock left behind by a program of another
// user that died cannot be cleared by the unprivileged user and would hide the cause under test.
std::unique_ptr<PtyPair> unlockedPty() {
    std::vector<std::unique_ptr<PtyPair>> taken; // held until the search ends, so numbers move on
    for (int i = 0; i < 64; ++i) {
        auto pty = std::make_unique<PtyPair>();
        if (!pty->isValid())
            return nullptr;
        QString lockName = pty->slavePath().mid(5); // "pts/3" -> /var/lock/LCK..pts_3
        lockName.replace(QLatin1Char('/'), QLatin1Char('_'));
        if (!QFile::exists(QStringLiteral("/var/lock/LCK..") + lockName))
            return pty;
        taken.push_back(std::move(pty));
    }
    return nullptr;
}

} // namespace

void PermissionDeniedTest::deviceNotOpenable_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("deviceGroup");    // empty: the device keeps its group
    QTest::addColumn<QStringList>("userGroups"); // the unprivileged user's groups
    QTest::addColumn<bool>("opens"); // found as COM1 and opened, or left out with kDenied
    QTest::newRow("no access") << 0000 << u""_s << QStringList() << false;
    QTest::newRow("read only") << 0444 << u""_s << QStringList() << false;
    QTest::newRow("write only") << 0222 << u""_s << QStringList() << false;
    QTest::newRow("dialout device, user outside") << 0660 << u"dialout"_s << QStringList() << false;
    QTest::newRow("dialout device, user added")
        << 0660 << u"dialout"_s << QStringList{"dialout"} << true;
    QTest::newRow("open to all") << 0666 << u""_s << QStringList() << true;
}

void PermissionDeniedTest::deviceNotOpenable() {
    QFETCH(int, mode);
    QFETCH(QString, deviceGroup);
    QFETCH(QStringList, userGroups);
    QFETCH(bool, opens);
    if (!deviceGroup.isEmpty() && ::geteuid() != 0)
        QSKIP("giving the device to a group needs root");

    const std::unique_ptr<PtyPair> com1 = unlockedPty();
    QVERIFY(com1);
    PortsDir ports;
    ports.link(1, com1->slavePath());
    // The unprivileged user must be able to follow the link; only the device itself is closed.
    QVERIFY(::chmod(QFile::encodeName(ports.path()).constData(), 0755) == 0);
    const QByteArray device = QFile::encodeName(com1->slavePath());
    if (!deviceGroup.isEmpty()) {
        const ::group *gr = ::getgrnam(qPrintable(deviceGroup));
        QVERIFY(gr);
        QVERIFY(::chown(device.constData(), 0, gr->gr_gid) == 0);
    }
    QVERIFY(::chmod(device.constData(), mode_t(mode)) == 0);

    const QString denied = QString::fromUtf8(kDenied).arg(com1->slavePath());
    QCOMPARE(startConsole(ports.path(), userGroups),
             opens ? u"found: COM1\nopen: yes\n"_s
                   : u"found: \nopen: no\nmessage: "_s + denied + u'\n');
}

QTEST_MAIN(PermissionDeniedTest)
#include "test_permission_denied.moc"
