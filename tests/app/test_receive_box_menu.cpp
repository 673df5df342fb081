// The receive box's menu in the window: it opens from the mouse and both keys, copies and selects
// exactly as Ctrl+C and Ctrl+A do, and sends nothing, runs no routine and changes no other control.
#include "app/receive_box.h"
#include "tests/support/fake_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using tqm::MainWindow;
using tqm::ReceiveBox;
using tqm::test::FakeWindow;

namespace {

enum class Opener { RightClick, MenuKey, ShiftF10 };

// Fifty records of a busy device: eleven lines of the box, wrapped.
const QByteArray records = QByteArray("\x02"
                                      "0123456789\r\n")
                               .repeated(50);
const QString recordsShown = QStringLiteral("[STX]0123456789[CR][LF]").repeated(50);

// Opens the box's menu as the operator does; the menu once it is on screen.
QMenu *openMenu(ReceiveBox *box, Opener how) {
    switch (how) {
    case Opener::RightClick:
        // Through the window system, which turns the right button into the request for a menu.
        QTest::mouseClick(box->window()->windowHandle(), Qt::RightButton, {},
                          box->viewport()->mapTo(box->window(), QPoint(30, 20)));
        break;
    case Opener::MenuKey:
        QTest::keyClick(box, Qt::Key_Menu);
        break;
    case Opener::ShiftF10:
        QTest::keyClick(box, Qt::Key_F10, Qt::ShiftModifier);
        break;
    }
    if (!QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }))
        return nullptr;
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

// Each entry as the operator reads it: text, shortcut, and whether it can be chosen.
QStringList entries(const QMenu *menu) {
    QStringList shown;
    for (const QAction *action : menu->actions())
        shown << QStringLiteral("%1 %2 %3")
                     .arg(action->text(),
                          action->isShortcutVisibleInContextMenu() ? action->shortcut().toString()
                                                                   : QStringLiteral("-"),
                          action->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
    return shown;
}

// Clicks the entry with this text, as the operator does, and waits for the menu to close.
bool choose(QMenu *menu, const QString &text) {
    for (QAction *action : menu->actions())
        if (action->text() == text)
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    return QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; });
}

// What the operator can see or set in every control of the window but the receive box.
QStringList otherControls(const MainWindow &w) {
    QStringList state;
    for (const auto *button : w.findChildren<QAbstractButton *>())
        state << button->objectName() + (button->isChecked() ? " checked" : "");
    for (const auto *label : w.findChildren<QLabel *>())
        state << label->objectName() + ' ' + label->text();
    for (const auto *list : w.findChildren<QListWidget *>()) {
        state << list->objectName() + " row " + QString::number(list->currentRow());
        for (const auto *item : list->selectedItems())
            state << list->objectName() + " selected " + item->text();
    }
    return state;
}

// The window after start-up, the records in the box, the box with the keyboard, and the line
// and the routine log forgotten so far.
struct Window : FakeWindow {
    ReceiveBox *box = nullptr;
    bool ready() {
        if (!loadAndShow())
            return false;
        box = window->control<ReceiveBox>("txtrecv");
        port.deliver(records);
        box->setFocus();
        port.handOvers.clear();
        port.trace.clear();
        return box->text() == recordsShown && QTest::qWaitFor([this] { return box->hasFocus(); });
    }
};

} // namespace

class ReceiveBoxMenuTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QGuiApplication::clipboard()->setText(QStringLiteral("copied before")); }

    void opensFromMouseAndKeys_data() {
        QTest::addColumn<Opener>("how");
        QTest::addColumn<bool>("selectFirst");
        QTest::addColumn<QStringList>("shown");
        const QStringList noSelection = {"&Copy Ctrl+C off", "Select &All Ctrl+A on"};
        const QStringList selection = {"&Copy Ctrl+C on", "Select &All Ctrl+A on"};
        QTest::newRow("right-click") << Opener::RightClick << false << noSelection;
        QTest::newRow("right-click on a selection") << Opener::RightClick << true << selection;
        QTest::newRow("Menu key") << Opener::MenuKey << false << noSelection;
        QTest::newRow("Menu key on a selection") << Opener::MenuKey << true << selection;
        QTest::newRow("Shift+F10") << Opener::ShiftF10 << false << noSelection;
        QTest::newRow("Shift+F10 on a selection") << Opener::ShiftF10 << true << selection;
    }
    // Escape closes it again having done nothing: no frame, no routine, no other control.
    void opensFromMouseAndKeys() {
        QFETCH(Opener, how);
        QFETCH(bool, selectFirst);
        Window w;
        QVERIFY(w.ready());
        if (selectFirst)
            QTest::keyClick(w.box, Qt::Key_A, Qt::ControlModifier);
        const QStringList before = otherControls(*w);
        QSignalSpy ran(w.window.get(), &MainWindow::routineRan);
        QMenu *menu = openMenu(w.box, how);
        QVERIFY(menu);
        QCOMPARE(menu->objectName(), QStringLiteral("txtrecvMenu"));
        QTEST(entries(menu), "shown");
        if (!selectFirst) // Copy cannot be chosen, so what was copied before stays
            QTest::mouseClick(menu, Qt::LeftButton, {},
                              menu->actionGeometry(menu->actions()[0]).center());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(w.port.handOvers, QList<QByteArray>());
        QCOMPARE(w.port.trace, QStringList());
        QCOMPARE(ran.count(), 0);
        QCOMPARE(otherControls(*w), before);
        QCOMPARE(w.box->text(), recordsShown);
        QCOMPARE(w.box->selectedText(), selectFirst ? recordsShown : QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copied before"));
        QVERIFY(!w.box->verticalScrollBar()->isVisible());
        QVERIFY(!w.box->horizontalScrollBar()->isVisible());
    }

    void entriesDoWhatTheirKeysDo_data() {
        QTest::addColumn<Opener>("how");
        QTest::newRow("right-click") << Opener::RightClick;
        QTest::newRow("Menu key") << Opener::MenuKey;
        QTest::newRow("Shift+F10") << Opener::ShiftF10;
    }
    // Select All takes every line, Copy puts it on the clipboard as received, without the breaks
    // of the wrapping; Ctrl+A and Ctrl+C do the same, and neither sends or changes anything else.
    void entriesDoWhatTheirKeysDo() {
        QFETCH(Opener, how);
        Window w;
        QVERIFY(w.ready());
        const QStringList before = otherControls(*w);
        QSignalSpy ran(w.window.get(), &MainWindow::routineRan);
        QMenu *menu = openMenu(w.box, how);
        QVERIFY(menu);
        QVERIFY(choose(menu, QStringLiteral("Select &All")));
        QCOMPARE(w.box->selectedText(), recordsShown);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copied before"));
        menu = openMenu(w.box, how);
        QVERIFY(menu);
        QVERIFY(choose(menu, QStringLiteral("&Copy")));
        QCOMPARE(QGuiApplication::clipboard()->text(), recordsShown);

        QGuiApplication::clipboard()->setText(QStringLiteral("copied before"));
        w.box->setText(recordsShown);
        QTest::keyClick(w.box, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.box->selectedText(), recordsShown);
        QTest::keyClick(w.box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), recordsShown);

        QCOMPARE(w.port.handOvers, QList<QByteArray>());
        QCOMPARE(w.port.trace, QStringList());
        QCOMPARE(ran.count(), 0);
        QCOMPARE(otherControls(*w), before);
    }
};

QTEST_MAIN(ReceiveBoxMenuTest)
#include "test_receive_box_menu.moc"
