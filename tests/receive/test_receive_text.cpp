// Tests of the receive box's text without a widget: the text kept exactly, wrapping arithmetic,
// and the selection between its anchor and cursor.
#include "receive/receive_text.h"

#include <QTest>

using tqm::ReceiveText;

class ReceiveTextTest : public QObject {
    Q_OBJECT
private slots:
    void appendKeepsTextExact_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("batches");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one batch")
            << "" << QStringList{"[STX]AB[CR][LF][ETX]"} << "[STX]AB[CR][LF][ETX]";
        QTest::newRow("batches join") << "" << QStringList{"[STX]A", "B[ETX]"} << "[STX]AB[ETX]";
        QTest::newRow("empty batch") << "[ESC]+y" << QStringList{""} << "[ESC]+y";
        QTest::newRow("old text in front")
            << "[ACK]" << QStringList{"[NAK]", "", "x"} << "[ACK][NAK]x";
        QTest::newRow("latin letter") << "" << QStringList{"caf", "\u00e9"} << "caf\u00e9";
    }
    void appendKeepsTextExact() {
        QFETCH(QString, before);
        QFETCH(QStringList, batches);
        ReceiveText text;
        text.setText(before);
        for (const QString &batch : batches)
            text.append(batch);
        QTEST(text.text(), "expected");
    }

    // Before any layout each character is a line of its own: Select All takes no break in.
    void setTextReplacesSelectAllTakesAllEmptyClears() {
        ReceiveText text;
        text.setText("[STX]old[ETX]");
        text.setText("[STX]new[ETX]");
        QCOMPARE(text.text(), QString("[STX]new[ETX]"));
        QVERIFY(!text.hasSelection());
        text.selectAll();
        QCOMPARE(text.selectedText(), QString("[STX]new[ETX]"));
        QCOMPARE(text.selectionStart(), qsizetype(0));
        QCOMPARE(text.selectionEnd(), qsizetype(13));
        text.setText("");
        QCOMPARE(text.text(), QString());
        QCOMPARE(text.selectedText(), QString());
        QVERIFY(!text.hasSelection());
    }

    void lineCount_data() {
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<int>("columns");
        QTest::addColumn<qsizetype>("lines");
        QTest::newRow("empty box shows one line") << qsizetype(0) << 80 << qsizetype(1);
        QTest::newRow("one character") << qsizetype(1) << 80 << qsizetype(1);
        QTest::newRow("exactly full") << qsizetype(80) << 80 << qsizetype(1);
        QTest::newRow("one over") << qsizetype(81) << 80 << qsizetype(2);
        QTest::newRow("one column") << qsizetype(10) << 1 << qsizetype(10);
        QTest::newRow("flood") << qsizetype(50'000'000) << 112 << qsizetype(446'429);
    }
    void lineCount() {
        QFETCH(qsizetype, length);
        QFETCH(int, columns);
        QTEST(ReceiveText::lineCount(length, columns), "lines");
        // The same through the text itself.
        if (length > 10'000)
            return; // the flood's sum needs no 50 MB of text to check
        ReceiveText text;
        text.setColumns(columns);
        text.setText(QString(length, 'x'));
        QTEST(text.lineCount(), "lines");
    }

    void columnsAreAtLeastOne_data() {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("columns");
        QTest::newRow("narrower than a cell") << 0 << 1;
        QTest::newRow("negative width") << -5 << 1;
        QTest::newRow("one") << 1 << 1;
        QTest::newRow("the window's box") << 92 << 92;
    }
    void columnsAreAtLeastOne() {
        QFETCH(int, asked);
        ReceiveText text;
        QCOMPARE(text.columns(), 1); // before any layout
        text.setColumns(asked);
        QTEST(text.columns(), "columns");
    }

    void lineAndColumnOfIndex_data() {
        QTest::addColumn<int>("columns");
        QTest::addColumn<qsizetype>("index");
        QTest::addColumn<qsizetype>("line");
        QTest::addColumn<int>("column");
        QTest::newRow("first") << 80 << qsizetype(0) << qsizetype(0) << 0;
        QTest::newRow("end of the first line") << 80 << qsizetype(79) << qsizetype(0) << 79;
        QTest::newRow("wraps") << 80 << qsizetype(80) << qsizetype(1) << 0;
        QTest::newRow("fourth line") << 80 << qsizetype(305) << qsizetype(3) << 65;
        QTest::newRow("one column") << 1 << qsizetype(7) << qsizetype(7) << 0;
        QTest::newRow("flood") << 112 << qsizetype(49'999'999) << qsizetype(446'428) << 63;
    }
    void lineAndColumnOfIndex() {
        QFETCH(int, columns);
        QFETCH(qsizetype, index);
        ReceiveText text;
        text.setColumns(columns);
        QTEST(text.lineOf(index), "line");
        QTEST(text.columnOf(index), "column");
    }

    // 1000 characters at 80 columns: twelve full lines and 40 characters on the thirteenth.
    void indexAtLineAndColumn_data() {
        QTest::addColumn<qsizetype>("line");
        QTest::addColumn<qsizetype>("column");
        QTest::addColumn<qsizetype>("index");
        QTest::newRow("start") << qsizetype(0) << qsizetype(0) << qsizetype(0);
        QTest::newRow("within the first line") << qsizetype(0) << qsizetype(5) << qsizetype(5);
        QTest::newRow("end of a line is the next one's start")
            << qsizetype(0) << qsizetype(80) << qsizetype(80);
        QTest::newRow("second line") << qsizetype(1) << qsizetype(0) << qsizetype(80);
        QTest::newRow("left of the text") << qsizetype(2) << qsizetype(-3) << qsizetype(160);
        QTest::newRow("right of the text") << qsizetype(2) << qsizetype(200) << qsizetype(240);
        QTest::newRow("above the first line") << qsizetype(-1) << qsizetype(40) << qsizetype(0);
        QTest::newRow("last character") << qsizetype(12) << qsizetype(39) << qsizetype(999);
        QTest::newRow("end of the text") << qsizetype(12) << qsizetype(40) << qsizetype(1000);
        QTest::newRow("past the end on the last line")
            << qsizetype(12) << qsizetype(79) << qsizetype(1000);
        QTest::newRow("below the last line") << qsizetype(13) << qsizetype(0) << qsizetype(1000);
        QTest::newRow("far below, no overflow")
            << qsizetype(4'611'686'018'427'387'903) << qsizetype(5) << qsizetype(1000);
    }
    void indexAtLineAndColumn() {
        QFETCH(qsizetype, line);
        QFETCH(qsizetype, column);
        ReceiveText text;
        text.setColumns(80);
        text.setText(QString("0123456789").repeated(100));
        QTEST(text.indexAt(line, column), "index");
    }

    void selectionBetweenAnchorAndCursor_data() {
        QTest::addColumn<qsizetype>("from");
        QTest::addColumn<qsizetype>("to");
        QTest::addColumn<qsizetype>("start");
        QTest::addColumn<qsizetype>("end");
        QTest::addColumn<QString>("expected");
        QTest::newRow("within a line")
            << qsizetype(3) << qsizetype(8) << qsizetype(3) << qsizetype(8) << "34567";
        QTest::newRow("backwards")
            << qsizetype(8) << qsizetype(3) << qsizetype(3) << qsizetype(8) << "34567";
        QTest::newRow("across wrapped lines")
            << qsizetype(5) << qsizetype(305) << qsizetype(5) << qsizetype(305)
            << QString("5678901234").repeated(30);
        QTest::newRow("a click selects nothing")
            << qsizetype(4) << qsizetype(4) << qsizetype(4) << qsizetype(4) << "";
    }
    void selectionBetweenAnchorAndCursor() {
        QFETCH(qsizetype, from);
        QFETCH(qsizetype, to);
        QFETCH(QString, expected);
        ReceiveText text;
        text.setColumns(80);
        text.setText(QString("0123456789").repeated(100));
        text.select(from, from);
        QCOMPARE(text.moveCursor(to), from != to);
        QTEST(text.selectionStart(), "start");
        QTEST(text.selectionEnd(), "end");
        QCOMPARE(text.hasSelection(), !expected.isEmpty());
        QCOMPARE(text.selectedText(), expected);
    }

    void selectionKeptOnAppendAndWithinText() {
        ReceiveText text;
        text.setText("[STX]AB[ETX]");
        text.select(5, 7);
        text.append(u"[ACK]");
        QCOMPARE(text.selectedText(), QString("AB"));
        QCOMPARE(text.anchor(), qsizetype(5));
        QCOMPARE(text.cursor(), qsizetype(7));
        text.select(-5, 5000);
        QCOMPARE(text.anchor(), qsizetype(0));
        QCOMPARE(text.cursor(), qsizetype(17));
        QVERIFY(text.moveCursor(-1));
        QCOMPARE(text.cursor(), qsizetype(0));
        QVERIFY(!text.moveCursor(0));
        QCOMPARE(text.selectedText(), QString());
    }
};

QTEST_GUILESS_MAIN(ReceiveTextTest)
#include "test_receive_text.moc"
