// Tests of what assistive technology reads of the receive box: its role and states, its text by
// characters, words and wrapped lines, the mouse's selection, where each character is on screen,
// and the insert and remove events that tell a screen reader of new text, once a frame.
#include "app/receive_box.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using tqm::ReceiveBox;

namespace {

// 20 characters, on an 8-column grid: "[STX]AB[" / "CR][LF][" / "ETX]".
const QString kReply = QStringLiteral("[STX]AB[CR][LF][ETX]");

// Shows the box at a width that gives exactly `columns` cells a line.
bool showWithColumns(ReceiveBox &box, int columns) {
    box.move(200, 150); // away from the screen's corner, so screen and widget places differ
    box.show();
    if (!QTest::qWaitForWindowExposed(&box))
        return false;
    for (int width = 10; width < 1000 && box.columns() != columns; ++width)
        box.resize(width, 65);
    return box.columns() == columns;
}

// The reply on that grid, its first row at the top.
bool showWithReply(ReceiveBox &box) {
    if (!showWithColumns(box, 8))
        return false;
    box.setText(kReply);
    box.verticalScrollBar()->setValue(0);
    return true;
}

QAccessibleTextInterface *textOf(ReceiveBox &box) {
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&box);
    return face ? face->textInterface() : nullptr;
}

// The text events of the receive box, as "kind position text".
QStringList recorded;

void record(QAccessibleEvent *event) {
    if (!qobject_cast<ReceiveBox *>(event->object()))
        return;
    if (event->type() == QAccessible::TextInserted) {
        const auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
        recorded << QStringLiteral("insert %1 %2").arg(e->changePosition()).arg(e->textInserted());
    } else if (event->type() == QAccessible::TextRemoved) {
        const auto *e = static_cast<QAccessibleTextRemoveEvent *>(event);
        recorded << QStringLiteral("remove %1 %2").arg(e->changePosition()).arg(e->textRemoved());
    } else if (event->type() == QAccessible::TextUpdated) {
        const auto *e = static_cast<QAccessibleTextUpdateEvent *>(event);
        recorded << QStringLiteral("update %1 %2 -> %3")
                        .arg(e->changePosition())
                        .arg(e->textRemoved(), e->textInserted());
    }
}

// What a screen reader connecting to the bus does: QAccessible::setActive only tells observers,
// isActive() asks the platform.
void setListening(bool on) {
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(on);
}

enum class Look { Before, At, After };

} // namespace

Q_DECLARE_METATYPE(Look)
Q_DECLARE_METATYPE(QAccessible::TextBoundaryType)

class ReceiveBoxAccessibleTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        recorded.clear();
        QAccessible::installUpdateHandler(record);
        setListening(true);
        QVERIFY(QAccessible::isActive());
    }
    void cleanup() {
        setListening(false);
        QAccessible::installUpdateHandler(nullptr);
    }

    // Catches a box read as a label, or as text a screen reader would offer to type into; and an
    // empty box with something at, before or after a place.
    void readsAsReadOnlyMultiLineText() {
        ReceiveBox box;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&box);
        QVERIFY(face);
        QAccessibleTextInterface *text = face->textInterface();
        QVERIFY(text);
        QCOMPARE(text->characterCount(), 0);
        for (auto boundary :
             {QAccessible::CharBoundary, QAccessible::WordBoundary, QAccessible::LineBoundary}) {
            int start = 0, end = 0;
            QCOMPARE(text->textAtOffset(0, boundary, &start, &end), QString());
            QCOMPARE(start, -1);
            QCOMPARE(text->textBeforeOffset(0, boundary, &start, &end), QString());
            QCOMPARE(text->textAfterOffset(0, boundary, &start, &end), QString());
            QCOMPARE(end, -1);
        }
        box.setText(kReply);
        QCOMPARE(face->role(), QAccessible::EditableText);
        QCOMPARE(face->text(QAccessible::Value), kReply);
        const QAccessible::State state = face->state();
        QVERIFY(state.readOnly);
        QVERIFY(!state.editable);
        QVERIFY(state.multiLine);
        QVERIFY(state.selectableText);
        QVERIFY(state.focusable);
        QCOMPARE(text->characterCount(), 20);
        QCOMPARE(text->text(0, -1), kReply);
        QCOMPARE(text->text(5, 7), QString("AB"));
        QCOMPARE(text->text(16, 99), QString("ETX]"));
    }

    // Catches items cut at the wrong place: lines that ignore the wrapping, words that take
    // brackets in, the place -1 (the end) or -2 (the cursor) read as a character offset.
    void readsByCharacterWordAndLine_data() {
        QTest::addColumn<QAccessible::TextBoundaryType>("boundary");
        QTest::addColumn<Look>("look");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        const auto chr = QAccessible::CharBoundary, word = QAccessible::WordBoundary,
                   line = QAccessible::LineBoundary;
        QTest::newRow("char at 0") << chr << Look::At << 0 << "[" << 0 << 1;
        QTest::newRow("char at last") << chr << Look::At << 19 << "]" << 19 << 20;
        QTest::newRow("char at end") << chr << Look::At << 20 << "" << -1 << -1;
        QTest::newRow("char at -1") << chr << Look::At << -1 << "" << -1 << -1;
        QTest::newRow("char at cursor") << chr << Look::At << -2 << "[" << 0 << 1;
        QTest::newRow("char past end") << chr << Look::At << 21 << "" << -1 << -1;
        QTest::newRow("char before 0") << chr << Look::Before << 0 << "" << -1 << -1;
        QTest::newRow("char before end") << chr << Look::Before << 20 << "]" << 19 << 20;
        QTest::newRow("char after 5") << chr << Look::After << 5 << "B" << 6 << 7;
        QTest::newRow("char after last") << chr << Look::After << 19 << "" << -1 << -1;
        QTest::newRow("word at its start") << word << Look::At << 5 << "AB" << 5 << 7;
        QTest::newRow("word at its end") << word << Look::At << 6 << "AB" << 5 << 7;
        QTest::newRow("between words") << word << Look::At << 4 << "]" << 4 << 5;
        QTest::newRow("brackets run") << word << Look::At << 11 << "][" << 10 << 12;
        QTest::newRow("word at end") << word << Look::At << 20 << "]" << 19 << 20;
        QTest::newRow("word before") << word << Look::Before << 6 << "]" << 4 << 5;
        QTest::newRow("word before first") << word << Look::Before << 0 << "" << -1 << -1;
        QTest::newRow("word after") << word << Look::After << 5 << "[" << 7 << 8;
        QTest::newRow("word after STX") << word << Look::After << 4 << "AB" << 5 << 7;
        QTest::newRow("word after last") << word << Look::After << 19 << "" << -1 << -1;
        QTest::newRow("line at 0") << line << Look::At << 0 << "[STX]AB[" << 0 << 8;
        QTest::newRow("line at row end") << line << Look::At << 7 << "[STX]AB[" << 0 << 8;
        QTest::newRow("line at row start") << line << Look::At << 8 << "CR][LF][" << 8 << 16;
        QTest::newRow("line at end") << line << Look::At << 20 << "ETX]" << 16 << 20;
        QTest::newRow("line at -1") << line << Look::At << -1 << "ETX]" << 16 << 20;
        QTest::newRow("line at cursor") << line << Look::At << -2 << "[STX]AB[" << 0 << 8;
        QTest::newRow("line before 1st") << line << Look::Before << 3 << "" << -1 << -1;
        QTest::newRow("line before") << line << Look::Before << 9 << "[STX]AB[" << 0 << 8;
        QTest::newRow("line before end") << line << Look::Before << 20 << "CR][LF][" << 8 << 16;
        QTest::newRow("line after") << line << Look::After << 3 << "CR][LF][" << 8 << 16;
        QTest::newRow("line after last") << line << Look::After << 17 << "" << -1 << -1;
        QTest::newRow("whole") << QAccessible::NoBoundary << Look::At << 3 << kReply << 0 << 20;
    }
    void readsByCharacterWordAndLine() {
        QFETCH(QAccessible::TextBoundaryType, boundary);
        QFETCH(Look, look);
        QFETCH(int, offset);
        ReceiveBox box;
        QVERIFY(showWithReply(box));
        QAccessibleTextInterface *text = textOf(box);
        QVERIFY(text);
        int start = -7, end = -7;
        const QString got =
            look == Look::Before  ? text->textBeforeOffset(offset, boundary, &start, &end)
            : look == Look::After ? text->textAfterOffset(offset, boundary, &start, &end)
                                  : text->textAtOffset(offset, boundary, &start, &end);
        QTEST(got, "expected");
        QTEST(start, "start");
        QTEST(end, "end");
    }

    // Catches a drag that selects or copies the wrong part, and a selection that assistive
    // technology reports apart from what the mouse did.
    void selectionIsTheMouseSelection_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("copied");
        QTest::newRow("forwards") << 5 << 7 << 1 << 5 << 7 << "AB";
        QTest::newRow("backwards") << 7 << 5 << 1 << 5 << 7 << "AB";
        QTest::newRow("across a wrap") << 3 << 12 << 1 << 3 << 12 << "X]AB[CR][";
        QTest::newRow("across two wraps") << 1 << 19 << 1 << 1 << 19 << "STX]AB[CR][LF][ETX";
        QTest::newRow("a click") << 4 << 4 << 0 << 0 << 0 << "";
    }
    void selectionIsTheMouseSelection() {
        QFETCH(int, from);
        QFETCH(int, to);
        QGuiApplication::clipboard()->clear();
        ReceiveBox box;
        QVERIFY(showWithReply(box));
        const QPoint press = box.cellRect(from).topLeft() + QPoint(1, 5);
        const QPoint release = box.cellRect(to).topLeft() + QPoint(1, 5);
        QTest::mousePress(box.viewport(), Qt::LeftButton, {}, press);
        QMouseEvent move(QEvent::MouseMove, release, box.viewport()->mapToGlobal(release),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box.viewport(), &move);
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, release);
        QAccessibleTextInterface *text = textOf(box);
        int start = -7, end = -7;
        text->selection(0, &start, &end);
        QTEST(text->selectionCount(), "count");
        QTEST(start, "start");
        QTEST(end, "end");
        QCOMPARE(text->cursorPosition(), to);
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
        QTEST(QGuiApplication::clipboard()->text(), "copied");
    }

    // Catches selecting through assistive technology that the box does not show or copy.
    void selectsForAssistiveTechnology() {
        ReceiveBox box;
        box.setText(kReply);
        QAccessibleTextInterface *text = textOf(box);
        text->addSelection(1, 4);
        QCOMPARE(box.selectedText(), QString("STX"));
        text->setSelection(0, 7, 5);
        QCOMPARE(box.selectedText(), QString("AB"));
        text->removeSelection(0);
        QCOMPARE(text->selectionCount(), 0);
        QCOMPARE(box.selectedText(), QString());
        text->setCursorPosition(12);
        QCOMPARE(text->cursorPosition(), 12);
        text->setSelection(0, 0, 99); // clamped to the text
        QCOMPARE(box.selectedText(), kReply);
    }

    // Catches rectangles in the viewport's coordinates instead of the screen's, which would send
    // a magnifier to the wrong place, and points that do not lead back to the same character.
    void charactersAreWhereTheScreenShowsThem_data() {
        QTest::addColumn<int>("offset");
        QTest::newRow("first") << 0;
        QTest::newRow("end of the first row") << 7;
        QTest::newRow("second row") << 9;
        QTest::newRow("last") << 19;
    }
    void charactersAreWhereTheScreenShowsThem() {
        QFETCH(int, offset);
        ReceiveBox box;
        QVERIFY(showWithReply(box));
        QVERIFY(box.mapToGlobal(QPoint(0, 0)) != QPoint(0, 0));
        QAccessibleTextInterface *text = textOf(box);
        const QRect onScreen(box.mapToGlobal(QPoint(0, 0)), box.size());
        const QRect rect = text->characterRect(offset);
        QVERIFY(!rect.isEmpty());
        QVERIFY2(onScreen.contains(rect), qPrintable(QDebug::toString(rect)));
        QCOMPARE(rect.topLeft(), box.viewport()->mapToGlobal(box.cellRect(offset).topLeft()));
        QCOMPARE(text->offsetAtPoint(rect.center()), offset);
    }

    void noCharacterOutsideTheText() {
        ReceiveBox box;
        QVERIFY(showWithReply(box));
        QAccessibleTextInterface *text = textOf(box);
        QVERIFY(text->characterRect(20).isEmpty());
        QVERIFY(text->characterRect(-1).isEmpty());
        // Past the end of the last row, and outside the box altogether.
        QCOMPARE(text->offsetAtPoint(text->characterRect(19).center() + QPoint(20, 0)), -1);
        QCOMPARE(text->offsetAtPoint(box.mapToGlobal(QPoint(-5, -5))), -1);
    }

    // Catches scrolling that leaves the asked-for text off the box's four lines.
    void scrollsToSubstring() {
        ReceiveBox box;
        QVERIFY(showWithColumns(box, 8));
        box.setText(QString("0123456789").repeated(100)); // 125 rows, the last ones shown
        QAccessibleTextInterface *text = textOf(box);
        const QRect onScreen(box.mapToGlobal(QPoint(0, 0)), box.size());
        QVERIFY(!onScreen.contains(text->characterRect(0)));
        text->scrollToSubstring(0, 3);
        QVERIFY(onScreen.contains(text->characterRect(0)));
        text->scrollToSubstring(500, 510);
        QVERIFY(onScreen.contains(text->characterRect(500)));
        QVERIFY(onScreen.contains(text->characterRect(507)));
    }

    // Catches an event per batch, which would make a flood cost assistive technology (and the
    // console) far more than painting it; and an offset that is not where the new text starts.
    void appendsWithinAFrameMakeOneInsert() {
        ReceiveBox box;
        QVERIFY(showWithColumns(box, 8));
        box.setText("[ACK]");
        recorded.clear();
        QString all;
        for (int i = 0; i < 100; ++i) {
            const QString batch = QStringLiteral("[STX]%1[ETX]").arg(i);
            box.append(batch);
            all += batch;
        }
        QCOMPARE(recorded, QStringList()); // nothing before the frame
        QTRY_COMPARE(recorded, QStringList{"insert 5 " + all});
        // The next frame starts where the text ends. Catches batches taken in while no assistive
        // technology listened being announced later, which would repeat text and copy the box.
        recorded.clear();
        setListening(false);
        box.append(QStringView(u"[STX]unheard"));
        setListening(true);
        box.append(QStringView(u"[CR]"));
        box.append(QStringView(u"[LF]"));
        QTRY_COMPARE(recorded, QStringList{QString("insert %1 [CR][LF]").arg(17 + all.size())});
    }

    // Catches a box emptied or replaced by a command with no word to assistive technology, and
    // text still waiting for its frame announced after the text it belonged to has gone.
    void setTextAnnouncesTheChange_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("unannounced");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("expected");
        const QString none("");
        QTest::newRow("emptied") << "[STX]AB[ETX]" << none << none
                                 << QStringList{"remove 0 [STX]AB[ETX]"};
        QTest::newRow("emptied within a frame")
            << "[ACK]" << QString("[NAK]") << none
            << QStringList{"insert 5 [NAK]", "remove 0 [ACK][NAK]"};
        QTest::newRow("replaced") << "[ACK]" << none << QString("x")
                                  << QStringList{"update 0 [ACK] -> x"};
        QTest::newRow("filled") << none << none << QString("[ESC]")
                                << QStringList{"insert 0 [ESC]"};
        QTest::newRow("empty stays empty") << none << none << none << QStringList{};
    }
    void setTextAnnouncesTheChange() {
        QFETCH(QString, before);
        QFETCH(QString, unannounced);
        QFETCH(QString, after);
        ReceiveBox box;
        QVERIFY(showWithColumns(box, 8));
        box.setText(before);
        recorded.clear();
        box.append(unannounced);
        box.setText(after);
        QTEST(recorded, "expected");
    }
};

QTEST_MAIN(ReceiveBoxAccessibleTest)
#include "test_receive_box_accessible.moc"
