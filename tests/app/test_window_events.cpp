// The window's event routines on the fake serial control: commands, replies, port selection,
// line controls, unloading and the log file.
#include "tests/support/click.h"
#include "tests/support/expected_commands.h"
#include "tests/support/fake_window.h"
#include "tests/support/message_catcher.h"

#include "app/receive_box.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tqm;
using namespace tqm::test;

using Frames = QList<QByteArray>;

class WindowEventsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void commands_data();
    void commands();
    void commandOnClosedPort_data();
    void commandOnClosedPort();
    void secondFrameNotSentAfterFailure();
    void ledOptionsApartFromComOptions();
    void replies_data();
    void replies();
    void otherEventsIgnored();
    void switchPort_data();
    void switchPort();
    void switchFails_data();
    void switchFails();
    void switchToBrokenCom1();
    void lineControls();
    void unload_data();
    void unload();
    void saveWithShortcut();
    void keysOnFocusedControl_data();
    void keysOnFocusedControl();
    void clockUnderArabicDesktop();
    void lossReportKeptUpToDate_data();
    void lossReportKeptUpToDate();
};

void WindowEventsTest::init() {
    qputenv("HOME", QByteArray());
}

static void click(MainWindow &w, const QString &control) {
    QVERIFY2(clickControl(w, control), qPrintable(control));
}

static QByteArray hex(const char *spaced) {
    return QByteArray::fromHex(spaced);
}

void WindowEventsTest::commands_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("description");
    QTest::addColumn<Frames>("handOvers");
    for (const ExpectedCommand &c : kExpectedCommands)
        QTest::newRow(c.control) << c.control << QString::fromUtf8(c.description) << c.handOvers();
}

void WindowEventsTest::commands() {
    QFETCH(QString, control);
    QFETCH(QString, description);
    QFETCH(Frames, handOvers);
    FakeWindow w;
    QVERIFY(w.loadAndShow());
    auto *box = w->control<ReceiveBox>("txtrecv");
    auto *label = w->control<QLabel>("Label");
    box->setText(QStringLiteral("[STX]old reply[ETX]"));
    QStringList seenAtFirstByte;
    w.port.beforeWrite = [&](const QByteArray &) {
        if (seenAtFirstByte.isEmpty())
            seenAtFirstByte << box->text() << label->text();
    };
    click(*w, control);
    QCOMPARE(w.port.handOvers, handOvers);
    QCOMPARE(seenAtFirstByte, QStringList({QString(), description}));
    QCOMPARE(label->text(), description);
    click(*w, control); // again, even an option already selected: sent again
    QCOMPARE(w.port.handOvers, handOvers + handOvers);
}

void WindowEventsTest::commandOnClosedPort_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("description");
    QTest::newRow("one frame") << "cmd_ext_relay"
                               << "Relay 구동 3초 On [ ESC + P 3 Cr ]";
    QTest::newRow("T then H") << "cmdreadinc"
                              << "Memory Data 전송 Point 증가 [ ESC + T  ESC + H ]";
    QTest::newRow("E then L") << "Option1"
                              << "외부 Red LED 3번On/Off [ ESC + L 3 0 0 Cr ]";
}

void WindowEventsTest::commandOnClosedPort() {
    QFETCH(QString, control);
    QFETCH(QString, description);
    FakeWindow w({1});
    MessageCatcher catcher;
    QVERIFY(w.loadAndShow());
    catcher.messages.clear();
    w->control<ReceiveBox>("txtrecv")->setText("stale");
    click(*w, control);
    QVERIFY(w.port.handOvers.isEmpty());
    QCOMPARE(w->control<ReceiveBox>("txtrecv")->text(), QString());
    QCOMPARE(w->control<QLabel>("Label")->text(), description);
    QCOMPARE(catcher.messages.size(), 1);
    QVERIFY2(catcher.messages[0].text.contains("not open"), qPrintable(catcher.messages[0].text));
    // The program goes on: the next command still runs its procedure.
    click(*w, "cmd_version");
    QCOMPARE(w->control<QLabel>("Label")->text(), QStringLiteral("제품 버전 확인 [ ESC + # ]"));
    // Catches a failure of the receive event reported inside the serial layer's signal: the
    // box's own event loop would run there, and the serial layer would wait for the operator.
    catcher.messages.clear();
    w.port.raise(SerialControl::comEvReceive); // reading the closed port fails
    QCOMPARE(catcher.messages.size(), 0);
    QTRY_COMPARE(catcher.messages.size(), 1);
    QCOMPARE(catcher.messages[0].text, QStringLiteral("COM1: cannot read, the port is not open"));
    QCOMPARE(catcher.messages[0].title, w->windowTitle());
}

void WindowEventsTest::secondFrameNotSentAfterFailure() {
    FakeWindow w;
    MessageCatcher catcher;
    w->load();
    int writes = 0;
    w.port.beforeWrite = [&](const QByteArray &) {
        if (++writes == 1)
            w.port.failWrites = true; // the first frame went out; the line fails after it
    };
    w->control<QPushButton>("cmdreadinc")->click();
    QCOMPARE(w.port.handOvers, Frames({hex("1b2b54")}));
    QCOMPARE(catcher.messages.size(), 1);
}

void WindowEventsTest::ledOptionsApartFromComOptions() {
    FakeWindow w;
    QVERIFY(w.loadAndShow());
    click(*w, "Option2");
    click(*w, "Option1");
    QVERIFY(w->control<QRadioButton>("Option1")->isChecked());
    QVERIFY(!w->control<QRadioButton>("Option2")->isChecked());
    QVERIFY(w->control<QRadioButton>("Optcom1")->isChecked()); // the COM group is untouched
    QCOMPARE(w.port.commPort(), 1);
    // Selecting from code runs the routine once, like a click.
    w.port.handOvers.clear();
    w->control<QRadioButton>("Option3")->setChecked(true);
    QCOMPARE(w.port.handOvers, Frames({hex("1b2b450d"), hex("1b2b4c3030330d")}));
}

void WindowEventsTest::replies_data() {
    QTest::addColumn<Frames>("batches");
    QTest::addColumn<QString>("shown");
    QTest::newRow("record") << Frames{hex("02 41 42 0d 0a 03")} << "[STX]AB[CR][LF][ETX]";
    QTest::newRow("frame echo") << Frames{hex("1b 2b 79")} << "[ESC]+y";
    QTest::newRow("two events, nothing between")
        << Frames{hex("02 41"), hex("42 03")} << "[STX]AB[ETX]";
    QTest::newRow("empty batch") << Frames{hex("41"), QByteArray()} << "A";
    QTest::newRow("hangul split over two batches")
        << Frames{hex("bf"), hex("b5")} << QStringLiteral("¿µ");
    QTest::newRow("hangul in one batch") << Frames{hex("bf b5")} << QStringLiteral("¿µ");
    QByteArray big(40000, 'x'); // more than a 16-bit count: shown whole, never dropped
    QTest::newRow("oversized batch") << Frames{big} << QString(40000, QLatin1Char('x'));
}

void WindowEventsTest::replies() {
    QFETCH(Frames, batches);
    QFETCH(QString, shown);
    FakeWindow w;
    w->load();
    w->control<ReceiveBox>("txtrecv")->setText("before|"); // replies only append
    for (const QByteArray &batch : batches) {
        if (batch.isEmpty())
            w.port.raise(SerialControl::comEvReceive); // an event that finds the buffer empty
        else
            w.port.deliver(batch);
    }
    QCOMPARE(w->control<ReceiveBox>("txtrecv")->text(), "before|" + shown);
}

void WindowEventsTest::otherEventsIgnored() {
    FakeWindow w;
    w->load();
    w.port.setRThreshold(0); // bytes wait without a receive event
    w.port.deliver("AB");
    w.port.reads = 0;
    for (int code : {1, 3, 4, 5, 6, 7, 1001, 1004, 1006, 1008, 1009})
        w.port.raise(code);
    QCOMPARE(w.port.reads, 0);
    QCOMPARE(w->control<ReceiveBox>("txtrecv")->text(), QString());
    w.port.raise(SerialControl::comEvReceive); // the bytes stayed for the next receive event
    QCOMPARE(w->control<ReceiveBox>("txtrecv")->text(), QStringLiteral("AB"));
}

void WindowEventsTest::switchPort_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("again"); // the port already in use: nothing happens
    for (int n = 2; n <= 8; ++n)
        QTest::addRow("COM%d", n) << n << false;
    QTest::newRow("COM4 again") << 4 << true;
}

void WindowEventsTest::switchPort() {
    QFETCH(int, n);
    QFETCH(bool, again);
    FakeWindow w;
    QVERIFY(w.loadAndShow());
    click(*w, "chkrts"); // the operator drops RTS first: it must carry over
    const QString option = QStringLiteral("Optcom%1").arg(n);
    if (again)
        click(*w, option);
    w.port.trace.clear();
    w.port.deviceLog.clear();
    click(*w, option);
    const QStringList trace = {"PortOpen=False", QStringLiteral("CommPort=%1").arg(n),
                               "PortOpen=True"};
    QCOMPARE(w.port.trace, again ? QStringList() : trace);
    QCOMPARE(w.port.deviceLog,
             again ? QStringList() : QStringList({"close", QStringLiteral("open %1").arg(n)}));
    QCOMPARE(w->control<QLabel>("Label")->text(), QStringLiteral("COM%1 PORT ON").arg(n));
    w.expectLineSettings();
    QVERIFY(w.port.lineDtr);
    QVERIFY(!w.port.lineRts);
    QVERIFY(w->control<QRadioButton>(qPrintable(option))->isChecked());
    QCOMPARE(w.port.commPort(), n);
}

void WindowEventsTest::switchFails_data() {
    // Catches a failed switch that leaves the new port open (it would stay on that port instead
    // of falling back) or that skips closing the old one.
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("opensFirst"); // the port opens, then its modem lines fail
    QTest::addColumn<QStringList>("deviceLog");
    QTest::newRow("absent COM2") << 2 << false << QStringList{"close", "open 1"};
    QTest::newRow("held COM5") << 5 << false << QStringList{"close", "open 1"};
    QTest::newRow("absent COM8") << 8 << false << QStringList{"close", "open 1"};
    QTest::newRow("COM4 opens, DTR fails")
        << 4 << true << QStringList{"close", "open 4", "close", "open 1"};
    QTest::newRow("COM7 opens, DTR fails")
        << 7 << true << QStringList{"close", "open 7", "close", "open 1"};
}

void WindowEventsTest::switchFails() {
    QFETCH(int, n);
    QFETCH(bool, opensFirst);
    QFETCH(QStringList, deviceLog);
    FakeWindow w;
    MessageCatcher catcher;
    QVERIFY(w.loadAndShow());
    click(*w, "Optcom3");
    click(*w, "chkdtr"); // off before the failed switch
    click(*w, "chkrts");
    QVERIFY(!w.port.lineDtr && !w.port.lineRts);
    if (opensFirst)
        w.port.failLinesOnPorts = {n};
    else
        w.port.failingPorts = {n};
    w.port.deviceLog.clear();
    click(*w, QStringLiteral("Optcom%1").arg(n));
    QCOMPARE(w.port.deviceLog, deviceLog);
    QCOMPARE(catcher.messages.size(), 1);
    QCOMPARE(catcher.messages[0].text, QStringLiteral("존제 하지 않는 통신포트 입니다."));
    QCOMPARE(catcher.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(catcher.messages[0].icon, QMessageBox::NoIcon);
    QCOMPARE(catcher.messages[0].title, w->windowTitle());
    // The default link is back on COM1.
    w.expectDefaultLink();
    QVERIFY(!w->control<QRadioButton>(qPrintable(QStringLiteral("Optcom%1").arg(n)))->isChecked());
}

void WindowEventsTest::switchToBrokenCom1() {
    FakeWindow w;
    MessageCatcher catcher;
    QVERIFY(w.loadAndShow());
    click(*w, "Optcom6");
    w.port.failingPorts = {1};
    click(*w, "Optcom1");
    // The port message, then the fallback's own failure: reported, link closed, program goes on.
    QCOMPARE(catcher.texts().size(), 2);
    QCOMPARE(catcher.texts()[0], QStringLiteral("존제 하지 않는 통신포트 입니다."));
    QVERIFY2(catcher.texts()[1].startsWith("COM1"), qPrintable(catcher.texts()[1]));
    QVERIFY(!w.port.portOpen());
    QCOMPARE(w.port.commPort(), 1);
    QVERIFY(w->control<QRadioButton>("Optcom1")->isChecked());
    w.port.failingPorts.clear();
    click(*w, "Optcom2"); // the operator carries on
    QVERIFY(w.port.portOpen());
    QCOMPARE(w.port.commPort(), 2);
}

void WindowEventsTest::lineControls() {
    FakeWindow w;
    QVERIFY(w.loadAndShow());
    w.port.trace.clear();
    click(*w, "chkdtr");
    QCOMPARE(w.port.trace, QStringList({"DTREnable=False"}));
    QVERIFY(!w.port.lineDtr);
    click(*w, "chkrts");
    click(*w, "chkdtr");
    QCOMPARE(w.port.trace, QStringList({"DTREnable=False", "RTSEnable=False", "DTREnable=True"}));
    QVERIFY(w.port.lineDtr && !w.port.lineRts);
}

void WindowEventsTest::unload_data() {
    QTest::addColumn<bool>("open");
    QTest::newRow("port open") << true;
    QTest::newRow("port closed") << false;
}

void WindowEventsTest::unload() {
    QFETCH(bool, open);
    FakeWindow w(open ? QSet<int>{} : QSet<int>{1});
    MessageCatcher catcher;
    QVERIFY(w.loadAndShow());
    catcher.messages.clear();
    w.port.trace.clear();
    QVERIFY(w->close());
    QCOMPARE(w.port.trace, open ? QStringList({"PortOpen=False"}) : QStringList());
    QVERIFY(!w.port.portOpen());
    QVERIFY(catcher.messages.isEmpty());
}

void WindowEventsTest::saveWithShortcut() {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    FakeWindow w;
    w->load();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    w.port.deliver(hex("02 41 42 03"));
    QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
    QFile log(home.filePath("savemsr.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("[STX]AB[ETX]\r\n"));
    QCOMPARE(w->control<ReceiveBox>("txtrecv")->text(), QStringLiteral("[STX]AB[ETX]"));
}

void WindowEventsTest::lossReportKeptUpToDate_data() {
    // Catches a report per loss (they pile up while nobody is at the desk), a report that keeps
    // saying the device is gone once it is back, and a miscount of the losses.
    QTest::addColumn<QString>("events"); // L: the device goes away, B: it comes back
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    const QString gone =
        QStringLiteral("COM1 (/dev/ttyUSB0): the device is gone (Resource error)\n");
    QTest::newRow("gone") << "L"
                          << gone + "The device went away at 13:58:40. The link reopens by itself "
                                    "when the device is back."
                          << int(QMessageBox::Warning);
    QTest::newRow("back") << "LB"
                          << gone + "The device went away at 13:58:40 and came back at 13:59:02. "
                                    "The link is open again."
                          << int(QMessageBox::Information);
    QTest::newRow("gone a third time")
        << "LBLBL"
        << gone + "The device went away at 14:02:11. The link reopens by itself when the device "
                  "is back.\n3 losses since 13:58:40."
        << int(QMessageBox::Warning);
    QTest::newRow("back a third time")
        << "LBLBLB"
        << gone + "The device went away at 14:02:11 and came back at 14:02:13. The link is open "
                  "again.\n3 losses since 13:58:40."
        << int(QMessageBox::Information);
}

void WindowEventsTest::lossReportKeptUpToDate() {
    QFETCH(QString, events);
    QFETCH(QString, text);
    QFETCH(int, icon);
    FakeSerialControl port;
    const FixedClock clock({QDateTime(QDate(2024, 5, 2), QTime(13, 58, 40)),
                            QDateTime(QDate(2024, 5, 2), QTime(13, 59, 2)),
                            QDateTime(QDate(2024, 5, 2), QTime(14, 0, 0)),
                            QDateTime(QDate(2024, 5, 2), QTime(14, 0, 5)),
                            QDateTime(QDate(2024, 5, 2), QTime(14, 2, 11)),
                            QDateTime(QDate(2024, 5, 2), QTime(14, 2, 13))},
                           QLocale::c(), QStringLiteral("HH:mm:ss"));
    MainWindow window(port, clock);
    MessageCatcher catcher;
    window.load();
    port.deliver("kept");
    for (QChar event : events) {
        if (event == QLatin1Char('L'))
            port.loseDevice(
                QStringLiteral("COM1 (/dev/ttyUSB0): the device is gone (Resource error)"));
        else
            port.restoreDevice();
    }
    const QList<QMessageBox *> shown = modelessMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0]->text(), text);
    QCOMPARE(int(shown[0]->icon()), icon);
    QCOMPARE(shown[0]->windowTitle(), window.windowTitle());
    QCOMPARE(shown[0]->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(catcher.messages.size(), 0);
    // Closed by the operator, it goes; the next loss opens a fresh one.
    shown[0]->button(QMessageBox::Ok)->click();
    QTRY_COMPARE(modelessMessages().size(), 0);
    port.restoreDevice(); // when away: back while nobody is told
    QCOMPARE(modelessMessages().size(), 0);
    port.loseDevice(QStringLiteral("COM1 (/dev/ttyUSB0): the device is gone (Resource error)"));
    QCOMPARE(modelessMessages().size(), 1);
    QVERIFY2(!modelessMessages()[0]->text().contains("losses"),
             qPrintable(modelessMessages()[0]->text()));
    QCOMPARE(window.control<ReceiveBox>("txtrecv")->text(), QStringLiteral("kept"));
    window.control<QPushButton>("cmd_version")->click(); // refused, reported, no crash
    QCOMPARE(catcher.messages.size(), 1);
    QVERIFY2(catcher.messages[0].text.contains("not open"), qPrintable(catcher.messages[0].text));
    port.restoreDevice();
    window.control<QPushButton>("cmd_version")->click();
    QCOMPARE(port.handOvers, Frames({hex("1b2b23")}));
}

// Space and Enter click a command button; Enter leaves options and check boxes alone.
void WindowEventsTest::keysOnFocusedControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("clicks");
    const int keypad = Qt::KeypadModifier;
    QTest::newRow("space") << "cmdread" << int(Qt::Key_Space) << 0 << true;
    QTest::newRow("return") << "cmdread" << int(Qt::Key_Return) << 0 << true;
    QTest::newRow("keypad enter") << "cmdread" << int(Qt::Key_Enter) << keypad << true;
    QTest::newRow("LED option, return") << "Option2" << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("LED option, keypad enter") << "Option2" << int(Qt::Key_Enter) << keypad << false;
    QTest::newRow("COM option, return") << "Optcom3" << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("COM option, keypad enter") << "Optcom3" << int(Qt::Key_Enter) << keypad << false;
    QTest::newRow("DTR box, return") << "chkdtr" << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("DTR box, keypad enter") << "chkdtr" << int(Qt::Key_Enter) << keypad << false;
}

void WindowEventsTest::keysOnFocusedControl() {
    // A key held down: the press, a run of auto-repeats, the release; one click at most.
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, clicks);
    const auto mods = Qt::KeyboardModifiers(modifiers);
    FakeWindow w;
    QVERIFY(w.loadAndShow());
    w.port.trace.clear();
    QSignalSpy ran(w.window.get(), &MainWindow::routineRan);
    auto *button = w->findChild<QAbstractButton *>(control);
    const bool wasChecked = button->isChecked();
    button->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), button);
    QTest::sendKeyEvent(QTest::Press, button, Qt::Key(key), QString(), mods);
    for (int i = 0; i < 20; ++i) {
        QKeyEvent release(QEvent::KeyRelease, key, mods, QString(), true);
        QApplication::sendEvent(button, &release);
        QKeyEvent press(QEvent::KeyPress, key, mods, QString(), true);
        QApplication::sendEvent(button, &press);
    }
    QTest::sendKeyEvent(QTest::Release, button, Qt::Key(key), QString(), mods);
    QCOMPARE(w.port.handOvers, clicks ? Frames{hex("1b 2b 54")} : Frames());
    QCOMPARE(ran.count(), clicks ? 1 : 0);
    if (clicks)
        QCOMPARE(ran.at(0).at(0).toString(), QStringLiteral("cmdread_Click"));
    QCOMPARE(w->control<QLabel>("Label")->text(),
             clicks ? QStringLiteral("Memory Data 전송 [ ESC + T ]")
                    : QStringLiteral("9600,n,8,1"));
    QCOMPARE(button->isChecked(), wasChecked);
    QCOMPARE(w.port.trace, QStringList());
}

void WindowEventsTest::clockUnderArabicDesktop() {
    // The desktop's own clock and long time format, stopped at the click: an Arabic desktop
    // writes its time in Arabic-Indic digits, and the device must still get ASCII ones.
    FakeSerialControl port;
    const FrozenClock clock(QDateTime(QDate(2007, 9, 11), QTime(15, 4, 5)),
                            QLocale(QLocale::Arabic, QLocale::Egypt));
    MainWindow window(port, clock);
    MessageCatcher catcher;
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    click(window, QStringLiteral("cmdtimessetting"));
    QCOMPARE(port.handOvers, Frames{hex("1b 2b 58 30 37 30 39 31 31 31 35 30 34 30 35 0d")});
    QCOMPARE(catcher.texts(), QStringList());
}

QTEST_MAIN(WindowEventsTest)
#include "test_window_events.moc"
