// The console end to end on real pseudo-terminals through the port map: bytes on the line,
// replies in the box, moving the link, busy ports, and a device that goes away.
#include "tests/support/expected_commands.h"
#include "tests/support/message_catcher.h"
#include "tests/support/pty_console.h"

#include "app/receive_box.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

using namespace tqm;
using namespace tqm::test;

class WindowPtyTest : public QObject {
    Q_OBJECT
private slots:
    void commandBytesOnTheLine_data();
    void commandBytesOnTheLine();
    void movingTheLink();
    void deviceLostAndBack();
    void transcriptOfASession();
    void unwritableTranscriptReportedOnce();
};

namespace {

int openFds() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

// The loss report, left on screen as if nobody were at the desk; null when there is none.
QMessageBox *lossReport() {
    const QList<QMessageBox *> shown = modelessMessages();
    return shown.size() == 1 ? shown[0] : nullptr;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

void WindowPtyTest::commandBytesOnTheLine_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QByteArray>("wire");
    for (const ExpectedCommand &c : kExpectedCommands)
        QTest::newRow(c.control) << c.control << c.bytes();
}

void WindowPtyTest::commandBytesOnTheLine() {
    QFETCH(QString, control);
    QFETCH(QByteArray, wire);
    Com1Console c;
    QVERIFY(c.start());
    QVERIFY(c.port->portOpen());
    c.click(qPrintable(control));
    QCOMPARE(c.com1.read(wire.size()).toHex(' '), wire.toHex(' '));
    QCOMPARE(c.com1.drain(), QByteArray()); // nothing more: no CR or LF added
}

void WindowPtyTest::movingTheLink() {
    Com1Console c;
    PtyPair com2;
    PtyPair com3;
    c.ports.link(2, com2.slavePath());
    c.ports.link(3, com3.slavePath());
    QProcess holder;
    holder.start(QStringLiteral(TQM_HOLD_PORT), {com2.slavePath()});
    QVERIFY(holder.waitForReadyRead(5000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    MessageCatcher catcher;
    QVERIFY(c.start());
    auto *list = c.window->control<QListWidget>("list_port");
    QCOMPARE(list->count(), 2); // COM2 is held by another program
    QCOMPARE(list->item(0)->text(), QStringLiteral("COM1"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("COM3"));

    c.click("Optcom3");
    QCOMPARE(c.window->control<QLabel>("Label")->text(), QStringLiteral("COM3 PORT ON"));
    c.click("cmd_version");
    QCOMPARE(com3.read(3).toHex(' '), QByteArray("1b 2b 23"));
    QCOMPARE(c.com1.drain(), QByteArray());

    const QString noSuchPort = QStringLiteral("존제 하지 않는 통신포트 입니다.");
    c.click("Optcom5"); // no link: the message, then COM1 again
    QCOMPARE(catcher.texts(), QStringList({noSuchPort}));
    QCOMPARE(c.port->commPort(), 1);
    QVERIFY(c.window->control<QRadioButton>("Optcom1")->isChecked());
    c.click("cmd_aux_port_on");
    QCOMPARE(c.com1.read(3).toHex(' '), QByteArray("1b 2b 59"));
    QCOMPARE(com3.drain(), QByteArray());

    c.click("Optcom2"); // held: the message, then COM1 again
    QCOMPARE(catcher.texts(), QStringList({noSuchPort, noSuchPort}));
    QCOMPARE(c.port->commPort(), 1);
    QVERIFY(c.port->portOpen());
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(5000));
}

void WindowPtyTest::deviceLostAndBack() {
    // Catches losses that pile up reports, leak descriptors, or stop being taken back; and a
    // console that takes the device back only once the operator has answered the loss report:
    // everything the device sends until then is lost.
    Com1Console c;
    auto far = std::make_unique<PtyPair>();
    c.ports.link(1, far->slavePath());
    MessageCatcher catcher;
    QVERIFY(c.start());
    QVERIFY(c.port->portOpen());
    far->write("[before]");
    QTRY_COMPARE_WITH_TIMEOUT(c.box(), QStringLiteral("[before]"), 5000);
    far.reset(); // the far end hangs up, as a pulled USB adapter does
    // Its device node goes with it: left linked, the freed pty number could be handed to another
    // test's pty, and the console would reconnect to that.
    c.ports.unlink(1);
    QTRY_VERIFY_WITH_TIMEOUT(lossReport(), 5000);
    QVERIFY2(lossReport()->text().contains("gone"), qPrintable(lossReport()->text()));
    QVERIFY(!c.port->portOpen());
    QCOMPARE(c.box(), QStringLiteral("[before]"));

    // No spinning on a dead descriptor while the device is away.
    const double before = cpuSeconds();
    QTest::qWait(3000);
    const double spent = cpuSeconds() - before;
    QVERIFY2(spent < 0.3, qPrintable(QStringLiteral("%1 s of CPU in 3 s").arg(spent)));
    QCOMPARE(modelessMessages().size(), 1); // reported once
    QCOMPARE(catcher.messages.size(), 0);

    c.click("cmd_version"); // the closed-port failure, never a crash
    QCOMPARE(catcher.messages.size(), 1);
    QVERIFY2(catcher.messages[0].text.contains("not open"), qPrintable(catcher.messages[0].text));
    catcher.messages.clear();

    // Back, then lost and back nine times more, with nobody at the desk.
    int fdsAfterFirst = 0;
    QString shown;
    for (int cycle = 1; cycle <= 10; ++cycle) {
        if (cycle > 1) {
            far.reset();
            c.ports.unlink(1);
            QTRY_VERIFY_WITH_TIMEOUT(!c.port->portOpen(), 5000);
        }
        far = std::make_unique<PtyPair>(); // the same link path, a new device behind it
        c.ports.link(1, far->slavePath());
        // One 500 ms retry period, and as much again for a busy machine.
        QTRY_VERIFY_WITH_TIMEOUT(c.port->portOpen(), 1000);
        const QString mark = QStringLiteral("<%1>").arg(cycle);
        far->write(mark.toLatin1());
        shown += mark;
        QTRY_COMPARE_WITH_TIMEOUT(c.box(), shown, 5000);
        QCOMPARE(modelessMessages().size(), 1); // still unanswered
        QVERIFY2(lossReport()->text().contains("came back"), qPrintable(lossReport()->text()));
        if (cycle == 1)
            fdsAfterFirst = openFds();
    }
    QCOMPARE(openFds(), fdsAfterFirst);
    QVERIFY(c.window->isVisible());
    QCOMPARE(catcher.messages.size(), 0);
    QPointer<QMessageBox> report = lossReport();
    QVERIFY(report);
    QVERIFY2(report->text().endsWith("10 losses since 오후 3:04:05."), qPrintable(report->text()));

    report->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(report.isNull());
    c.click("cmd_version");
    QCOMPARE(far->read(3).toHex(' '), QByteArray("1b 2b 23"));
}

void WindowPtyTest::transcriptOfASession() {
    QTemporaryDir dir;
    Com1Console c;
    auto far = std::make_unique<PtyPair>();
    c.ports.link(1, far->slavePath());
    c.transcriptPath = dir.filePath("session.tsv");
    MessageCatcher catcher;
    QVERIFY(c.start());

    c.receiveBox()->setText(QStringLiteral("stale"));
    c.click("cmd_ext_sensor");
    QCOMPARE(c.box(), QString());
    const QByteArray sent = far->read(3);
    far->write(QByteArray::fromHex("02 30"));
    QTRY_COMPARE_WITH_TIMEOUT(c.box(), QStringLiteral("[STX]0"), 5000);
    far->write(QByteArray::fromHex("03 0d"));
    QTRY_COMPARE_WITH_TIMEOUT(c.box(), QStringLiteral("[STX]0[ETX][CR]"), 5000);
    const QString shown = c.box();
    c.click("chkdtr");
    c.click("Optcom5"); // no link: the message, then COM1 again
    QCOMPARE(catcher.messages.size(), 1);
    far.reset(); // the far end hangs up
    c.ports.unlink(1);
    QTRY_VERIFY_WITH_TIMEOUT(!c.port->portOpen(), 5000);
    PtyPair back;
    c.ports.link(1, back.slavePath());
    QTRY_VERIFY_WITH_TIMEOUT(c.port->portOpen(), 5000);

    QFile file(c.transcriptPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n');
    QCOMPARE(rows.takeLast(), QString()); // every line ends in a newline
    QCOMPARE(rows.takeFirst(),
             QStringLiteral("# tqm810-console test time\tdelta\tdir\tport\tbytes\ttext"));
    QStringList events;
    QString received;
    for (const QString &row : rows) {
        const QStringList f = row.split(u'\t');
        QCOMPARE(f.size(), 6);
        events << f.mid(2).join(u'|');
        if (f[2] == u"TX")
            QCOMPARE(f[4], QString::fromLatin1(sent.toHex(' ').toUpper()));
        if (f[2] == u"RX")
            received += f[5];
    }
    QCOMPARE(received, shown); // the text column is what the box showed
    QVERIFY2(events.size() == 13 && events[11].startsWith("--|COM1||lost: COM1 ("),
             qPrintable(events.join("\n")));
    events[11] = QStringLiteral("lost");
    // How each event reads is the transcript test's; here what only the real console shows: no
    // probe ahead of the link, then the failed switch, the fall-back to COM1 and the loss.
    QCOMPARE(events.first(), QStringLiteral("--|COM1||opened 9600,n,8,1"));
    QCOMPARE(events.mid(7),
             QStringList({
                 "--|COM1||closed",
                 "--|COM5||failed: COM5: no such port (no com5 link in " + c.ports.path() + ")",
                 "--|COM1||opened 9600,n,8,1",
                 "--|COM1||DTR on",
                 "lost",
                 "--|COM1||back",
             }));
}

// Catches a transcript that fails silently, over and over, or takes the console down with it.
void WindowPtyTest::unwritableTranscriptReportedOnce() {
    Com1Console c;
    c.transcriptPath = QStringLiteral("/nonexistent/session.tsv");
    MessageCatcher catcher;
    QVERIFY(c.start());
    QTRY_COMPARE_WITH_TIMEOUT(catcher.messages.size(), 1, 5000);
    QVERIFY2(
        catcher.messages[0].text.startsWith("Cannot open the transcript /nonexistent/session.tsv"),
        qPrintable(catcher.messages[0].text));
    c.click("cmd_version");
    QCOMPARE(c.com1.read(3).toHex(' '), QByteArray("1b 2b 23"));
    c.com1.write(QByteArray::fromHex("06"));
    QTRY_COMPARE_WITH_TIMEOUT(c.box(), QStringLiteral("[ACK]"), 5000);
    QCOMPARE(catcher.messages.size(), 1);
}

QTEST_MAIN(WindowPtyTest)
#include "test_window_pty.moc"
