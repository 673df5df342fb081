// The window: its controls, tab order, initial state and start-up.
#include "tests/support/click.h"
#include "tests/support/fake_window.h"
#include "tests/support/message_catcher.h"

#include "app/receive_box.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace tqm;
using namespace tqm::test;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void windowAndAccessibleNames();
    void tabOrder();
    void paneSwitch_data();
    void paneSwitch();
    void startUp();
    void startUpWithoutCom1_data();
    void startUpWithoutCom1();
    void passiveControlsSendNothing();
};

static QStringList listItems(const QListWidget *list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

void MainWindowTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry"); // pixels at 15 twips each
    const auto row = [](const char *name, const char *cls, const char *in, const char *caption,
                        QRect px) {
        QTest::newRow(name) << QString(name) << QString(cls) << QString(in)
                            << QString::fromUtf8(caption) << px;
    };
    row("Frame3", "QGroupBox", "main", "검색 통신포트", {312, 296, 121, 129});
    row("list_port", "QListWidget", "Frame3", "", {16, 24, 89, 88});
    row("Frame2", "QGroupBox", "main", "", {224, 296, 81, 129});
    row("chkdtr", "QCheckBox", "Frame2", "DTR", {16, 24, 57, 17});
    row("chkrts", "QCheckBox", "Frame2", "RTS", {16, 48, 57, 17});
    row("comport", "QGroupBox", "main", "통신포트", {16, 296, 201, 129});
    row("Optcom1", "QRadioButton", "comport", "COM1", {16, 24, 65, 17});
    row("Optcom2", "QRadioButton", "comport", "COM2", {16, 48, 65, 17});
    row("Optcom3", "QRadioButton", "comport", "COM3", {16, 72, 65, 17});
    row("Optcom4", "QRadioButton", "comport", "COM4", {16, 96, 65, 17});
    row("Optcom5", "QRadioButton", "comport", "COM5", {112, 24, 65, 17});
    row("Optcom6", "QRadioButton", "comport", "COM6", {112, 48, 65, 17});
    row("Optcom7", "QRadioButton", "comport", "COM7", {112, 72, 65, 17});
    row("Optcom8", "QRadioButton", "comport", "COM8", {112, 96, 65, 17});
    row("cmd_system_reset", "QPushButton", "main", "초기화(Reset)", {112, 112, 121, 25});
    row("cmd_lcd_back_light_off", "QPushButton", "main", "LCD Back Light Off", {496, 176, 121, 25});
    row("cmd_lcd_back_light_on", "QPushButton", "main", "LCD Back Light On", {496, 144, 121, 25});
    row("cmd_version", "QPushButton", "main", "Version 확인", {112, 144, 121, 25});
    row("cmd_data_send", "QPushButton", "main", "Data Send", {240, 176, 121, 25});
    row("cmd_aux_port_off", "QPushButton", "main", "Aux Port Off", {240, 144, 121, 25});
    row("cmd_aux_port_on", "QPushButton", "main", "Aux Port On", {240, 112, 121, 25});
    row("cmd_ext_sensor", "QPushButton", "main", "외부 Sensor", {368, 144, 121, 25});
    row("cmd_ext_relay", "QPushButton", "main", "외부 Relay", {368, 112, 121, 25});
    row("cmd_Lcd_Display", "QPushButton", "main", "LCD Data Display", {496, 112, 121, 25});
    row("Frame1", "QGroupBox", "main", "외부 LED/Buzzer", {624, 144, 121, 105});
    row("Option3", "QRadioButton", "Frame1", "Buzzer", {24, 72, 73, 17});
    row("Option2", "QRadioButton", "Frame1", "Green", {24, 24, 73, 17});
    row("Option1", "QRadioButton", "Frame1", "Red", {24, 48, 73, 17});
    row("cmdextledbuzzer", "QPushButton", "main", "외부 LED/BUZZER", {624, 256, 121, 25});
    row("cmdreadinc", "QPushButton", "main", "Data Read 후 pont 증가", {496, 328, 249, 25});
    row("cmdtimessetting", "QPushButton", "main", "시간 Setting", {624, 112, 121, 25});
    row("txtrecv", "tqm::ReceiveBox", "main", "", {8, 40, 737, 65});
    row("cmdread", "QPushButton", "main", "Data Read", {496, 296, 249, 25});
    row("Label", "QLabel", "main", "", {8, 8, 737, 25});
}

void MainWindowTest::controls() {
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, container);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    FakeWindow w;
    QWidget *c = w->findChild<QWidget *>(name);
    QVERIFY(c);
    QCOMPARE(QString(c->metaObject()->className()), className);
    QCOMPARE(c->parentWidget()->objectName(), container);
    QCOMPARE(c->geometry(), geometry);
    if (auto *b = qobject_cast<QAbstractButton *>(c))
        QCOMPARE(b->text(), caption);
    else if (auto *g = qobject_cast<QGroupBox *>(c))
        QCOMPARE(g->title(), caption);
    else
        QVERIFY(caption.isEmpty());
}

void MainWindowTest::windowAndAccessibleNames() {
    FakeWindow w;
    w->load();
    QCOMPARE(w->objectName(), QStringLiteral("main"));
    QCOMPARE(w->windowTitle(), QStringLiteral("TQM-810 DEMO PROGRAM 2007년 9월11일"));
    QCOMPARE(w->size(), QSize(779, 437));
    auto *label = w->control<QLabel>("Label");
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->palette().color(QPalette::Window), QColor(255, 192, 128));
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    const auto nameOf = [&](const char *control) {
        QAccessibleInterface *a =
            QAccessible::queryAccessibleInterface(w->findChild<QWidget *>(control));
        return a ? a->text(QAccessible::Name) : QString();
    };
    QCOMPARE(nameOf("txtrecv"), QStringLiteral("Received data"));
    QCOMPARE(nameOf("list_port"), QStringLiteral("Ports found"));
    QCOMPARE(nameOf("cmd_ext_sensor"), QStringLiteral("외부 Sensor"));
    QCOMPARE(nameOf("Frame1"), QStringLiteral("외부 LED/Buzzer"));
    QCOMPARE(nameOf("Label"), QStringLiteral("9600,n,8,1"));
    QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Description),
             QStringLiteral("Description"));
}

void MainWindowTest::tabOrder() {
    FakeWindow w;
    w->load();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdread"));
    const QStringList expected = {"txtrecv",
                                  "cmdtimessetting",
                                  "cmdreadinc",
                                  "cmdextledbuzzer",
                                  "Option1",
                                  "cmd_Lcd_Display",
                                  "cmd_ext_relay",
                                  "cmd_ext_sensor",
                                  "cmd_aux_port_on",
                                  "cmd_aux_port_off",
                                  "cmd_data_send",
                                  "cmd_version",
                                  "cmd_lcd_back_light_on",
                                  "cmd_lcd_back_light_off",
                                  "cmd_system_reset",
                                  "Optcom1",
                                  "chkrts",
                                  "chkdtr",
                                  "list_port",
                                  "cmdread"};
    w.port.handOvers.clear();
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, expected);
    // Tab alone sends nothing and selects nothing, not even passing through the LED group.
    QCOMPARE(w.port.handOvers, QList<QByteArray>());
    for (const char *led : {"Option1", "Option2", "Option3"})
        QVERIFY2(!w->control<QRadioButton>(led)->isChecked(), led);
}

// F6 between a control and the box: steps are keys to the focused window, "click" on the box, or
// "lose" the device (its report then has the keyboard); after each, the control with the focus.
void MainWindowTest::paneSwitch_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("focus");
    QTest::newRow("there and back")
        << "cmd_ext_sensor" << QStringList{"F6", "F6"} << QStringList{"txtrecv", "cmd_ext_sensor"};
    QTest::newRow("box reached by Tab")
        << "cmdtimessetting" << QStringList{"F6", "Tab", "Shift+Tab", "F6"}
        << QStringList{"txtrecv", "cmdtimessetting", "txtrecv", "cmdread"};
    QTest::newRow("box clicked") << "Option2" << QStringList{"F6", "Tab", "click", "F6"}
                                 << QStringList{"txtrecv", "cmdtimessetting", "txtrecv", "cmdread"};
    QTest::newRow("in the loss report") << "cmd_ext_sensor" << QStringList{"lose", "F6"}
                                        << QStringList{"cmd_ext_sensor", "cmd_ext_sensor"};
}

void MainWindowTest::paneSwitch() {
    QFETCH(QString, start);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, focus);
    FakeWindow w;
    QVERIFY(w.loadAndShow());
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    w->findChild<QWidget *>(start)->setFocus();
    QStringList seen;
    for (const QString &step : steps) {
        if (step == "click") {
            QTest::mouseClick(w->control<ReceiveBox>("txtrecv")->viewport(), Qt::LeftButton);
        } else if (step == "lose") {
            w.port.loseDevice(QStringLiteral("unplugged"));
            QTRY_VERIFY(QApplication::activeWindow() &&
                        QApplication::activeWindow() != w.window.get());
        } else {
            QTest::keySequence(QApplication::activeWindow(), QKeySequence(step));
        }
        seen << w->focusWidget()->objectName();
    }
    QCOMPARE(seen, focus);
}

void MainWindowTest::startUp() {
    FakeWindow w({5}); // a failed probe leaves nothing to close
    // Creating the window selects nothing and touches no port.
    for (const char *c : {"chkdtr", "chkrts"})
        QVERIFY(!w->control<QCheckBox>(c)->isChecked());
    for (QRadioButton *r : w->findChildren<QRadioButton *>())
        QVERIFY2(!r->isChecked(), qPrintable(r->objectName()));
    QCOMPARE(w->control<QListWidget>("list_port")->count(), 0);
    QCOMPARE(w->control<QLabel>("Label")->text(), QString());
    QVERIFY(w.port.trace.isEmpty());

    w->port_search(); // one search before start-up's own: the list is made anew, not added to
    w.port.trace.clear();
    QSignalSpy ran(w.window.get(), &MainWindow::routineRan);
    w->load();
    QStringList order;
    for (const auto &args : ran)
        order << args.at(0).toString();
    QCOMPARE(order, QStringList({"Form_Load", "port_search", "comm_open", "Optcom1_Click",
                                 "chkdtr_Click", "chkrts_Click"}));
    QCOMPARE(listItems(w->control<QListWidget>("list_port")),
             QStringList({"COM1", "COM2", "COM3", "COM4", "COM6", "COM7", "COM8"}));
    const QStringList probes = {
        "CommPort=1",     "PortOpen=True",  "PortOpen=False", "CommPort=2",     "PortOpen=True",
        "PortOpen=False", "CommPort=3",     "PortOpen=True",  "PortOpen=False", "CommPort=4",
        "PortOpen=True",  "PortOpen=False", "CommPort=5",     "PortOpen=True",  "CommPort=6",
        "PortOpen=True",  "PortOpen=False", "CommPort=7",     "PortOpen=True",  "PortOpen=False",
        "CommPort=8",     "PortOpen=True",  "PortOpen=False"};
    // The port number comes before the selection; line settings before the open; input length,
    // DTR and RTS after it, each line set again by its box's Click.
    const QStringList link = {
        "CommPort=1", "Settings=9600,n,8,1", "RThreshold=1",   "InputMode=1",    "PortOpen=True",
        "InputLen=0", "DTREnable=True",      "DTREnable=True", "RTSEnable=True", "RTSEnable=True"};
    QCOMPARE(w.port.trace, probes + link);
    w.expectDefaultLink();
    if (QTest::currentTestFailed())
        return;
    for (const char *other : {"Optcom2", "Optcom3", "Optcom4", "Optcom5", "Optcom6", "Optcom7",
                              "Optcom8", "Option1", "Option2", "Option3"})
        QVERIFY2(!w->control<QRadioButton>(other)->isChecked(), other);
    QCOMPARE(w->control<ReceiveBox>("txtrecv")->text(), QString());
    QVERIFY(w.port.handOvers.isEmpty());

    // comm_open on the open port changes nothing.
    w->control<QCheckBox>("chkdtr")->setChecked(false);
    w->control<QLabel>("Label")->setText("something else");
    w.port.trace.clear();
    w.port.deviceLog.clear();
    w->comm_open();
    QVERIFY(w.port.trace.isEmpty());
    QVERIFY(w.port.deviceLog.isEmpty());
    QVERIFY(!w->control<QCheckBox>("chkdtr")->isChecked());
    QCOMPARE(w->control<QLabel>("Label")->text(), QStringLiteral("something else"));
}

// COM1 fails: reported, the window comes up with the link closed.
void MainWindowTest::startUpWithoutCom1_data() {
    QTest::addColumn<QSet<int>>("failing");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("some ports") << QSet<int>{1, 2, 4, 6, 7, 8} << QStringList{"COM3", "COM5"};
    QTest::newRow("no ports") << QSet<int>{1, 2, 3, 4, 5, 6, 7, 8} << QStringList{};
}

void MainWindowTest::startUpWithoutCom1() {
    QFETCH(QSet<int>, failing);
    QFETCH(QStringList, found);
    FakeWindow w(failing);
    MessageCatcher catcher;
    w->load();
    w->show();
    QVERIFY(w->isVisible());
    QCOMPARE(listItems(w->control<QListWidget>("list_port")), found);
    QVERIFY(w.port.trace.contains("CommPort=1"));
    QCOMPARE(w.port.commPort(), 1);
    QVERIFY(!w.port.portOpen());
    QCOMPARE(catcher.messages.size(), 1);
    QVERIFY2(catcher.messages[0].text.startsWith("COM1"), qPrintable(catcher.messages[0].text));
    QCOMPARE(catcher.messages[0].title, w->windowTitle());
    // Steps before the failing open stand, the ones after it never ran.
    QVERIFY(w->control<QRadioButton>("Optcom1")->isChecked());
    QCOMPARE(w.port.settings(), QStringLiteral("9600,n,8,1"));
    QVERIFY(!w->control<QCheckBox>("chkdtr")->isChecked());
    QCOMPARE(w->control<QLabel>("Label")->text(), QString());
}

void MainWindowTest::passiveControlsSendNothing() {
    FakeWindow w;
    QVERIFY(w.loadAndShow());
    w.port.trace.clear();
    QSignalSpy ran(w.window.get(), &MainWindow::routineRan);
    for (const char *c : {"Frame1", "Frame2", "Frame3", "comport", "Label", "txtrecv"})
        QTest::mouseClick(w->findChild<QWidget *>(c), Qt::LeftButton, {}, QPoint(5, 5));
    auto *list = w->control<QListWidget>("list_port");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QVERIFY(w.port.handOvers.isEmpty());
    QVERIFY(w.port.trace.isEmpty());
    QCOMPARE(ran.count(), 0);
    QCOMPARE(w->control<QLabel>("Label")->text(), QStringLiteral("9600,n,8,1"));
}

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
